#!/bin/bash
# Takes the README's pictures of the alerts: build/marovind under Xvfb in a private network
# namespace with two rules, messages sent by Python over UDP, the rows an alert rule
# highlights, and Tools > Alerts with a rule open for editing.
# Usage (as root, from the source tree): scripts/alerts-screenshots.sh
# Needs: xvfb, xdotool, imagemagick, python3, iproute2.
set -u
if [ "${1:-}" != --inside ]; then
    exec unshare -n xvfb-run -a -s "-screen 0 1420x640x24" bash "$0" --inside "$PWD"
fi
SRC=$2
. "$SRC/scripts/screenshot-support.sh"
export ALERTS_INI='[Alert 1]\r\nNAME = Disk trouble\r\nENABLED = true\r\nMIN_SEVERITY = err\r\nTEXT = disk (full|error)\r\nTEXT_REGEX = true\r\nNOTIFY = true\r\nHIGHLIGHT = true\r\nRUN = true\r\nPROGRAM = /bin/true\r\nARG1 = --subject\r\nARG2 = %severity% from %address%\r\nARG3 = %message%\r\n[Alert 2]\r\nNAME = Failed logins\r\nENABLED = true\r\nFACILITIES = auth,authpriv\r\nTEXT = failed password\r\nSOUND = true\r\nHIGHLIGHT = true\r\nINTERVAL = 300\r\n'
start_marovind "$SRC" '[Marovind]\r\nSEVERITY_COLOURS = true\r\n'
python3 - <<'PY'
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for m in [
    "<38>sshd[4120]: Accepted publickey for deploy from 10.1.2.3",
    "<78>CRON[4133]: (root) CMD (run-parts /etc/cron.hourly)",
    "<3>kernel: EXT4-fs error (device sda1): disk error on block 81234",
    "<38>sshd[977]: Failed password for root from 10.9.9.9 port 52344",
    "<30>systemd[1]: Started Daily apt download activities.",
    "<11>backup: disk full on /srv/backup, 0 bytes left",
    "<14>nginx: GET /health 200",
]:
    s.sendto(m.encode(), ("127.0.0.1", 514))
    time.sleep(0.05)
PY
sleep 1
WID=$(xdotool search --name "Marovind - Tesk" | head -1)
xdotool windowactivate --sync "$WID" 2>/dev/null; xdotool windowmove "$WID" 0 0 windowsize "$WID" 1000 400
sleep 0.5
import -window root -crop 1000x400+0+0 "$SRC/docs/alerts-highlight.png"
xdotool mousemove 102 8 click 1; sleep 0.5; xdotool key Down Return; sleep 0.8
DLG=$(xdotool search --name "^Alerts$" | head -1)
xdotool windowmove "$DLG" 0 0; sleep 0.3
xdotool windowfocus --sync "$DLG"; xdotool key alt+e; sleep 0.8
RULE=$(xdotool search --name "^Alert Rule$" | head -1)
xdotool windowmove "$RULE" 490 0; sleep 0.5
import -window root -crop 1110x640+0+0 "$SRC/docs/alerts-dialog.png"
kill $PID
wait $PID
rm -rf "$D"
