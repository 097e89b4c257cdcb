#!/bin/bash
# Takes the README's picture of the header field columns: build/marovind under Xvfb in a
# private network namespace, RFC 5424, BSD and Cisco messages sent by Python over UDP, the
# Host box filled in with xdotool, the screen taken with ImageMagick's import.
# Usage (as root, from the source tree): scripts/field-columns-screenshot.sh
# Needs: xvfb, xdotool, imagemagick, python3, iproute2.
set -u
if [ "${1:-}" != --inside ]; then
    exec unshare -n xvfb-run -a -s "-screen 0 1100x440x24" bash "$0" --inside "$PWD"
fi
SRC=$2
. "$SRC/scripts/screenshot-support.sh"
start_marovind "$SRC" '[Marovind]\r\nFILTER_BAR = true\r\nCOLUMNS = sent,host,app,pid\r\n'
python3 - <<'PY'
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for m in [
    "<38>Mar  5 09:05:03 web-3 sshd[4120]: Accepted publickey for deploy from 10.1.2.3",
    "<78>Mar  5 09:05:04 web-3 CRON[4133]: (root) CMD (run-parts /etc/cron.hourly)",
    "<165>1 2026-03-05T08:05:05.120Z web-30 nginx 812 ACCESS - GET /health 200",
    "<38>Mar  5 09:05:06 db-1 sshd[977]: Failed password for root from 10.9.9.9",
    "<189>231: *Mar  5 09:05:07.412: %LINK-3-UPDOWN: Interface Gi0/2, changed state to up",
    "<6>Mar  5 09:05:08 web-4 kernel: eth0: link up, 1000 Mbps full duplex",
    "<38>1 2026-03-05T09:05:09+01:00 web-3 sshd 4120 - - session closed for user deploy",
    "<13>a line without any header",
]:
    s.sendto(m.encode(), ("127.0.0.1", 514))
    time.sleep(0.05)
PY
sleep 1
WID=$(xdotool search --name "Marovind - Tesk" | head -1)
xdotool windowactivate --sync "$WID" 2>/dev/null; xdotool windowmove "$WID" 0 0 windowsize "$WID" 1100 440
sleep 0.5
import -window root "$SRC/docs/field-columns-all.png"
xdotool mousemove 740 62 click 1; sleep 0.3
xdotool type --delay 50 "web-3"
xdotool mousemove 1090 300
sleep 0.8
import -window root "$SRC/docs/field-columns.png"
kill $PID
wait $PID
rm -rf "$D"
