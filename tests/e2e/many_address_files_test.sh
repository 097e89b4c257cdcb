#!/usr/bin/env bash
# 2,000 per-address log files under the usual desktop soft limit of 1,024 open files: the
# program raises the limit, opens every file, still binds its socket, and a datagram from
# a listed sender lands in that sender's file.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$program"

[ "$(ulimit -Hn)" = unlimited ] || [ "$(ulimit -Hn)" -ge 2100 ] ||
    { echo "skipped: hard limit on open files below 2,100" >&2; exit 77; }
dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$dir/logs"
for ((i = 0; i < 1999; i++)); do
    printf '127.1.%d.%d\r\n' $((i / 250)) $((i % 250 + 1))
done >"$dir/ipaddr.flt"
printf '127.0.0.1\r\n' >>"$dir/ipaddr.flt"
e2e_write_settings "$dir" 3 "$dir/logs/" true

ulimit -Sn 1024
e2e_start_program "$program" "$dir" || fail "the socket was not bound"
files=$(find "$dir/logs" -name '*.log' | wc -l)
[ "$files" -eq 2000 ] || fail "$files of 2000 log files exist"
[ "$(e2e_stderr_count "$dir" "Marovind: Could not open file")" -eq 0 ] ||
    fail "files failed to open: $(head -3 "$dir/stderr.txt")"
"$LOADGEN" --count 10 --rate 1000 >/dev/null
e2e_wait_stable "$dir/logs/127_0_0_1.log" 0.3 20 || true
"$LOGCHECK" --count 10 "$dir/logs/127_0_0_1.log" >/dev/null ||
    fail "the listed sender's lines: $("$LOGCHECK" --count 10 "$dir/logs/127_0_0_1.log")"
e2e_stop_program || fail "exit status $? after SIGTERM"
echo "2,000 address files open under a soft limit of 1,024; the socket was bound"
