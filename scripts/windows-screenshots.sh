#!/bin/bash
# Takes the README's pictures of the Windows program: the portable zip's marovind.exe under
# wine on a wine desktop (Windows frames) in Xvfb, inside a private network namespace; rows
# sent with logger; the configuration dialog and the viewer opened from the menu with
# xdotool; the main window again at 200% scaling.
# Usage (as root, from the source tree, after ./package --windows): scripts/windows-screenshots.sh
set -u
if [ "${1:-}" != --inside ]; then
    exec unshare -n bash "$0" --inside "$PWD"
fi
SRC=$2
ip link set lo up
work=$(mktemp -d)
# shellcheck source=wine-support.sh
source "$SRC/scripts/wine-support.sh"
export DISPLAY=:$(free_x_display 58)
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'wineserver -k 2>/dev/null; kill $XVFB; rm -rf "$work"' EXIT
new_wine_prefix "$work/prefix"
(cd "$work" && cmake -E tar xf "$(ls "$SRC"/build-windows/Marovind-*-win64.zip)")
dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'Marovind-*')
windir=$(winepath -w "$dir")

# One run of the program on a wine desktop of the given size; the caller's steps in between.
start() { # desktop size
    (cd "$dir" && exec wine explorer "/desktop=Marovind,$1" marovind.exe >/dev/null 2>&1) &
    for _ in $(seq 300); do grep -q ':0202 ' /proc/net/udp && break; sleep 0.1; done
    sleep 1
    WID=$(xdotool search --name '^Marovind - Tesk' | head -1)
    xdotool windowmove "$WID" 0 0
}
stop() {
    xdotool key --window "$WID" alt+f; sleep 0.3; xdotool key --window "$WID" x
    for _ in $(seq 100); do grep -q ':0202 ' /proc/net/udp || break; sleep 0.1; done
    wineserver -k 2>/dev/null
}
send() { logger --rfc3164 -n 127.0.0.1 -d -P 514 -p "$1" -t "$2" "$3"; }
rows() {
    send local0.info app "service started, 4 workers"
    send daemon.notice ntpd "clock synchronised to 10.1.0.1, offset 0.8 ms"
    send kern.warning kernel "eth0: link flapping, carrier lost 3 times in 60 s"
    send local0.err app "database connection refused: link to 10.1.7.9 down"
    send user.crit backup "disk E: failed: I/O error"
    send auth.info sshd "Accepted publickey for admin from 10.1.2.3 port 51022"
}
shoot() { # geometry, file
    import -window root -crop "$1" +repage "$SRC/docs/$2"
}

start 900x500
rows
sleep 1
shoot 900x500+0+0 windows-main-window.png
xdotool key --window "$WID" alt+f; sleep 0.3; xdotool key c; sleep 1.5
shoot 900x500+0+0 windows-configuration.png
xdotool key Escape; sleep 0.5
xdotool key --window "$WID" ctrl+o; sleep 1.5
xdotool type --delay 20 "$windir\\syslog.log"; xdotool key Return; sleep 2
shoot 900x500+0+0 windows-viewer.png
xdotool key ctrl+F4 2>/dev/null; sleep 0.5
stop

# 200%: Windows' display scaling is the desktop's DPI.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
wineserver -k 2>/dev/null
start 1280x900
rows
sleep 1
shoot 1280x900+0+0 windows-main-window-200.png
stop
