#!/usr/bin/env bash
# The viewer under load: the window program on an X display (Xvfb), in a private network
# namespace, receives numbered datagrams while the operator opens a big log file with
# File > Open, driven with xdotool as a person would: Ctrl+O, the file's name, Return.
#   bench/viewer_under_load.sh [BUILD_DIR]   (default: build; needs marovind, loadgen, logcheck)
# Environment: VIEW_MB (1024) size of the generated log file in MB, VIEW_COUNT (500000)
# 100-byte datagrams sent at VIEW_RATE (50000) a second, VIEW_OPEN_AFTER (2) seconds of
# sending before Ctrl+O, VIEW_SHOT (/tmp/vbench-viewer.png) the screen once loaded.
# Prints the datagrams sent, logged and lost, the worst delay of a 10 ms GUI-thread timer
# while the load ran, resident memory before the open and after loading, and the seconds
# from Return to the viewer's window and to the file fully indexed (polled: about 50 ms).
# Needs: xvfb, xauth, xdotool, imagemagick, iproute2.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"
if [ "${MAROVIND_E2E_NAMESPACE:-}" != 1 ] && ! { command -v xdotool && command -v import; } >/dev/null; then
    "$root/scripts/install-deps" xdotool imagemagick || echo "xdotool or ImageMagick could not be installed" >&2
fi
e2e_enter_namespaces "-n" "$0" "$build"
if [ "${VIEW_ON_XVFB:-}" != 1 ]; then
    for tool in xvfb-run xdotool import; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
    done
    VIEW_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" "$build"
fi
e2e_find_tools "$build/marovind"

megabytes=${VIEW_MB:-1024}
count=${VIEW_COUNT:-500000}
rate=${VIEW_RATE:-50000}
open_after=${VIEW_OPEN_AFTER:-2}
shot=${VIEW_SHOT:-/tmp/vbench-viewer.png}
last_line="Dec 08 23:59:59 10.9.9.9 viewer bench: the last line of the big file"
work=$(mktemp -d)
LOADGEN_PID=
cleanup() {
    [ -z "$LOADGEN_PID" ] || kill -KILL "$LOADGEN_PID" 2>/dev/null || true
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null && wait "$MAROVIND_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "viewer_under_load.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR

now() { date +%s.%N; }
seconds_since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.2f", a - b }'; }
peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
mb() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }

# The big file in the server's line format: one block of varied lines (16 MB, or the whole
# size when smaller) written by awk, repeated with cat, then a line to recognise the end by.
make_log() { # $1: file
    local block_mb=16
    ((megabytes < block_mb)) && block_mb=$megabytes
    LC_ALL=C awk -v bytes=$((block_mb * 1024 * 1024)) 'BEGIN {
        for (i = 0; ; ++i) {
            line = sprintf("Dec 08 04:37:%d 10.1.%d.%d sshd[%d]: Accepted publickey for operator from 10.2.3.4 port 5%d ssh2 seq %d\r\n",
                10 + i % 50, i % 7, i % 250, 1000 + i % 9000, i % 1000, i)
            if (size + length(line) + 200 > bytes) break
            printf "%s", line
            size += length(line)
        }
        pad = ""
        for (j = size + 2; j < bytes; ++j) pad = pad "."
        printf "%s\r\n", pad
    }' >"$work/block"
    local i
    for ((i = 0; i < (megabytes + block_mb - 1) / block_mb; i++)); do cat "$work/block"; done >"$1"
    printf '%s\r\n' "$last_line" >>"$1"
    rm -f "$work/block"
}

# The id of the first visible window whose name matches $1, or nothing.
find_window() { { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; } | head -1; }

# Waits at most $2 seconds for a visible window named $1; its id.
wait_window() {
    local i id
    for ((i = 0; i < $2 * 20; i++)); do
        id=$(find_window "$1")
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}

# The worst lateness (ms) of a GUI timer tick between monotonic ms $1 and $2, and when; "<2" when no
# tick was 2 ms late, "?" without data. With $3 = count: the ticks more than 100 ms late.
probe_worst() {
    [ -s "$probe" ] || { echo "?"; return; }
    awk -v b="$1" -v e="$2" -v s="$began" -v what="${3:-worst}" '$1 != "worst" && $1 >= b && $1 <= e {
            if ($2 > w) { w = $2; at = $1 } if ($2 > 100) ++n }
        END { if (what == "count") print n + 0
              else if (w > 0) printf "%.1f ms (%.2f s into the sending)", w, (at - s) / 1000
              else printf "<2 ms" }' \
        "$probe"
}

# Ranges of sequence numbers missing from the log, as seconds into the sending.
lost_ranges() {
    sed -n 's/.*loadgen seq=0*\([0-9][0-9]*\).*/\1/p' "$work/syslog.log" | sort -n |
        awk -v n="$count" -v r="$rate" 'function range(a, b) {
                printf "  lost seq %d-%d (%d), %.2f-%.2f s into the sending\n", a, b, b - a + 1, a / r, (b + 1) / r
                if (++shown == 20) exit }
            { if ($1 > next_seq) range(next_seq, $1 - 1); if ($1 >= next_seq) next_seq = $1 + 1 }
            END { if (shown < 20 && next_seq < n) range(next_seq, n - 1) }'
}

big=$work/week.log
t=$(now)
make_log "$big"
echo "Viewer under load: $(e2e_file_size "$big") bytes of log file (written in $(seconds_since "$t") s)," \
    "$count datagrams of 100 bytes at $rate/s, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

probe=$work/timer-probe.txt
MAROVIND_ENV=("MAROVIND_PROBE_TIMER=$probe")
E2E_QPA_PLATFORM=xcb e2e_start_program "$build/marovind" "$work"
main=$(wait_window "^Marovind - " 30) || { echo "the main window did not show" >&2; exit 1; }
sleep 1
rss_before=$(e2e_rss_kib "$MAROVIND_PID")

"$LOADGEN" --count "$count" --size 100 --rate "$rate" >"$work/loadgen.txt" &
LOADGEN_PID=$!
t_send=$(now)
sleep "$open_after"
xdotool windowfocus --sync "$main" key ctrl+o
dialog=$(wait_window "^Open" 10 || xdotool search --onlyvisible --pid "$MAROVIND_PID" 2>/dev/null | grep -vx "$main" | tail -1) ||
    { echo "the file dialog did not show" >&2; exit 1; }
sleep 0.5
xdotool windowfocus --sync "$dialog" type --delay 20 "$(basename "$big")"
xdotool key Return
t_return=$(now)
return_after=$(awk -v a="$t_return" -v b="$t_send" 'BEGIN { printf "%.2f", a - b }')

to_window=
to_loaded=
t_loaded=$t_return
for ((i = 0; i < 120 * 20; i++)); do
    viewer=$(find_window "^log - ")
    if [ -n "$viewer" ]; then
        [ -n "$to_window" ] || to_window=$(seconds_since "$t_return")
        if ! xdotool getwindowname "$viewer" 2>/dev/null | grep -q "(loading"; then
            t_loaded=$(now)
            to_loaded=$(awk -v a="$t_loaded" -v b="$t_return" 'BEGIN { printf "%.2f", a - b }')
            break
        fi
    fi
    sleep 0.05
done
rss_after=$(e2e_rss_kib "$MAROVIND_PID")
sleep 0.5
import -window root "$shot" 2>/dev/null || echo "(no screenshot taken)" >&2

wait "$LOADGEN_PID" || true
LOADGEN_PID=
sent=$(cat "$work/loadgen.txt")
e2e_wait_stable "$work/syslog.log" 1.0 120 || true
field() { sed -n "s/.*[ :]$1=\([^ ]*\).*/\1/p" <<<"$2"; }
began=$(field began_ms "$sent")
# The probe window: the sending, or the load when it lasts longer, and a second after.
until_ms=$(awk -v e="$(field ended_ms "$sent")" -v b="$began" -v s="$t_send" -v l="$t_loaded" \
    'BEGIN { x = b + (l - s) * 1000; if (e > x) x = e; printf "%.0f", x + 1000 }')
return_ms=$(awk -v b="$began" -v s="$t_send" -v r="$t_return" 'BEGIN { printf "%.0f", b + (r - s) * 1000 }')
rss_peak=$(peak_kib "$MAROVIND_PID")
kill -TERM "$MAROVIND_PID"
e2e_wait_exit "$MAROVIND_PID" 60 || true
check=$("$LOGCHECK" --count "$count" --eol crlf "$work/syslog.log" 2>&1 || true)

echo "sent:    $(field sent "$sent") datagrams at $(field rate "$sent")/s; Ctrl+O after $open_after s," \
    "Return $return_after s into the sending"
echo "logged:  $(field received "$check") ($(field distinct "$check") distinct), lost $(field lost "$check")" \
    "($(field loss_pct "$check")%), duplicated $(field duplicated "$check"), incomplete $(field incomplete "$check")"
echo "viewer:  window ${to_window:-not seen} s after Return, fully indexed ${to_loaded:-not within 120} s after Return"
echo "memory:  rss $(mb "$rss_before") MB before the open, $(mb "$rss_after") MB once loaded" \
    "(peak of the process $(mb "$rss_peak") MB)"
echo "gui:     worst GUI-thread timer delay during the run $(probe_worst "$began" "$until_ms")," \
    "$(probe_worst "$began" "$until_ms" count) ticks more than 100 ms late"
echo "         from Return on: $(probe_worst "$return_ms" "$until_ms")," \
    "$(probe_worst "$return_ms" "$until_ms" count) ticks more than 100 ms late"
[ "$(field lost "$check")" = 0 ] || lost_ranges
echo "screen:  $shot"
