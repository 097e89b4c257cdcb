#!/usr/bin/env bash
# Soak: the window program under a long steady load with the live list at its bound.
#   bench/soak.sh [BUILD_DIR]     (default: build; needs marovind, loadgen and logcheck)
# Sends SOAK_FILL (1,000,000) numbered 100-byte datagrams at SOAK_RATE (50,000) a second to
# fill the list to its default bound of 1,000,000 rows, takes resident memory and open
# descriptors, then sends SOAK_MORE (4,000,000) more at the same rate and takes them again.
# Prints both, the worst delay of a 10 ms GUI-thread timer over the whole run, and what the
# log holds (every datagram should be there once).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$build"
e2e_find_tools "$build/marovind"

fill=${SOAK_FILL:-1000000}
more=${SOAK_MORE:-4000000}
rate=${SOAK_RATE:-50000}
work=$(mktemp -d)
trap 'kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

probe=$work/timer-probe.txt
MAROVIND_ENV=("MAROVIND_PROBE_TIMER=$probe")
e2e_start_program "$build/marovind" "$work"
sleep 1
fds() { ls "/proc/$MAROVIND_PID/fd" | wc -l; }
echo "Soak: $fill then $more datagrams at $rate/s, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "start:            rss $(($(e2e_rss_kib "$MAROVIND_PID") / 1024)) MB, $(fds) descriptors"

"$LOADGEN" --count "$fill" --size 100 --rate "$rate" >/dev/null
e2e_wait_stable "$work/syslog.log" 1.0 120 || true
rss_full=$(e2e_rss_kib "$MAROVIND_PID")
fds_full=$(fds)
echo "at $fill rows:  rss $((rss_full / 1024)) MB, $fds_full descriptors"

"$LOADGEN" --count "$more" --size 100 --rate "$rate" --start "$fill" >/dev/null
e2e_wait_stable "$work/syslog.log" 1.0 300 || true
rss_end=$(e2e_rss_kib "$MAROVIND_PID")
fds_end=$(fds)
echo "after $((fill + more)):   rss $((rss_end / 1024)) MB ($(awk -v a="$rss_full" -v b="$rss_end" 'BEGIN{printf "%+.1f%%", 100*(b-a)/a}') against the full list), $fds_end descriptors"
worst=$(awk '$1 != "worst" { if ($2 > w) w = $2 } END { printf "%.1f", w }' "$probe" 2>/dev/null || echo "?")
echo "worst GUI-thread timer delay: $worst ms"
kill -TERM "$MAROVIND_PID"
e2e_wait_exit "$MAROVIND_PID" 60 || true
echo "log: $("$LOGCHECK" --count $((fill + more)) --eol crlf "$work/syslog.log" 2>&1 || true)"
