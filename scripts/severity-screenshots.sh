#!/bin/bash
# Takes the README's pictures of severity colours and the filter bar: build/marovind under
# Xvfb in a private network namespace, a row of every severity sent with logger, the bar
# filled in with xdotool, the screen taken with ImageMagick's import.
# Usage (as root, from the source tree): scripts/severity-screenshots.sh
# Needs: xvfb, xdotool, imagemagick, bsdutils (logger), iproute2.
set -u
if [ "${1:-}" != --inside ]; then
    exec unshare -n xvfb-run -a -s "-screen 0 1000x420x24" bash "$0" --inside "$PWD"
fi
SRC=$2
. "$SRC/scripts/screenshot-support.sh"
start_marovind "$SRC" '[Marovind]\r\nSEVERITY_COLOURS = true\r\nFILTER_BAR = true\r\n'
send() { logger --rfc3164 -n 127.0.0.1 -d -P 514 -p "$1" -t "$2" "$3"; }
send local0.info app "service started, 4 workers"
send local0.debug app "cache lookup key=user:42 hit"
send daemon.notice ntpd "clock synchronised to 10.1.0.1, offset 0.8 ms"
send kern.warning kernel "eth0: link flapping, carrier lost 3 times in 60 s"
send local0.err app "database connection refused: link to 10.1.7.9 down"
send user.crit backup "disk /dev/sdb1 failed: I/O error"
send kern.alert kernel "link down on uplink eth1, failing over"
send kern.emerg kernel "system halting: power supply failure"
send local0.info app "request served in 12 ms"
send mail.notice postfix "link check deferred for 3 messages"
send user.debug app "link probe 3 of 5 ok"
sleep 1
WID=$(xdotool search --name "Marovind - Tesk" | head -1)
xdotool windowactivate --sync "$WID" 2>/dev/null; xdotool windowmove "$WID" 0 0 windowsize "$WID" 1000 420
sleep 0.5
import -window root "$SRC/docs/severity-colours.png"
xdotool mousemove 675 62 click 1; sleep 0.3
xdotool type --delay 50 "link"
xdotool mousemove 340 62 click 1; sleep 0.3
xdotool type --delay 50 "127.0."
xdotool mousemove 168 62 click 1; sleep 0.5
xdotool key Down Down Down Return; sleep 0.5
xdotool mousemove 500 164 click 1; sleep 0.3
xdotool mousemove 990 300
sleep 0.8
import -window root "$SRC/docs/severity-colours-and-filter.png"
kill $PID
wait $PID
rm -rf "$D"
