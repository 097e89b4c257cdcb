#!/usr/bin/env bash
# The log directory on a tiny file system that fills up: the program keeps running and
# receiving, reports the failure once for the file, writes again once there is space, and
# the lines written before stay intact; no line is left torn.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n -m" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true
    umount -l "$dir/logs" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$dir/logs"
mount -t tmpfs -o size=64k tmpfs "$dir/logs" || { echo "skipped: cannot mount a tmpfs" >&2; exit 77; }
e2e_write_settings "$dir" 0 "$dir/logs/" false
log=$dir/logs/syslog.log
e2e_start_program "$program" "$dir"

# Lines before the disk fills.
"$LOADGEN" --count 200 --start 0 --rate 5000 >/dev/null
e2e_wait_stable "$log" 0.3 20 || fail "the log kept growing"
"$LOGCHECK" --count 200 "$log" >/dev/null || fail "lines before the disk filled: $("$LOGCHECK" --count 200 "$log")"
cp "$log" "$dir/before.log"

# Fill it up; then messages keep coming.
dd if=/dev/zero of="$dir/logs/filler" bs=4k 2>/dev/null || true
"$LOADGEN" --count 300 --start 1000 --rate 5000 >/dev/null
sleep 0.5
kill -0 "$MAROVIND_PID" 2>/dev/null || fail "the program ended when the disk was full"
reported=$(e2e_stderr_count "$dir" "Marovind: Disk full while accessing $log.")
[ "$reported" -eq 1 ] || fail "the full disk was reported $reported times, not once: $(cat "$dir/stderr.txt")"
cmp -s -n "$(stat -c %s "$dir/before.log")" "$dir/before.log" "$log" ||
    fail "lines written before the disk filled changed"

# Space again: the next messages are written.
rm "$dir/logs/filler"
"$LOADGEN" --count 200 --start 2000 --rate 5000 >/dev/null
e2e_wait_stable "$log" 0.3 20 || fail "the log kept growing"
"$LOGCHECK" --count 200 --start 2000 "$log" >"$dir/after.txt" && :
grep -q ' lost=0 ' "$dir/after.txt" || fail "after space came back: $(cat "$dir/after.txt")"
grep -q ' incomplete=0 ' "$dir/after.txt" || fail "torn lines in the log: $(cat "$dir/after.txt")"
cmp -s -n "$(stat -c %s "$dir/before.log")" "$dir/before.log" "$log" ||
    fail "lines written before the disk filled changed"
[ "$(e2e_stderr_count "$dir" "Marovind: Disk full while accessing $log.")" -eq 1 ] ||
    fail "the full disk was reported again after space came back"
during=$("$LOGCHECK" --count 300 --start 1000 "$log" | sed 's/.* received=\([0-9]*\).*/\1/' || true)

e2e_stop_program || fail "exit status $? after SIGTERM"
echo "disk full: reported once, $during of 300 lines fitted while full, writing resumed"
