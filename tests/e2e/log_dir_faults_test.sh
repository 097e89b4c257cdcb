#!/usr/bin/env bash
# The log directory goes away or turns read-only under the running program: it neither
# crashes nor stops receiving. A directory made read-only while its files are open keeps
# taking lines (the files are open already); at the next start the files cannot be opened,
# which is shown as "Could not open file", and the server goes on without them.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n -m" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true
    umount -l "$dir/ro/logs" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
alive() { kill -0 "$MAROVIND_PID" 2>/dev/null || fail "the program ended ($1): $(cat "$2/stderr.txt")"; }

# 1. The log directory is removed while the program runs.
run1=$dir/removed
mkdir -p "$run1/logs"
e2e_write_settings "$run1" 0 "$run1/logs/" false
e2e_start_program "$program" "$run1"
"$LOADGEN" --count 100 --rate 5000 >/dev/null
e2e_wait_stable "$run1/logs/syslog.log" 0.3 20 || fail "the log kept growing"
rm -rf "$run1/logs"
"$LOADGEN" --count 100 --start 100 --rate 5000 >/dev/null
sleep 0.5
alive "log directory removed" "$run1"
e2e_stop_program || fail "exit status $? after SIGTERM with the log directory gone"

# 2. The log directory is made read-only while the program runs, then at the next start.
run2=$dir/ro
mkdir -p "$run2/logs"
e2e_write_settings "$run2" 0 "$run2/logs/" false
e2e_start_program "$program" "$run2"
"$LOADGEN" --count 100 --rate 5000 >/dev/null
e2e_wait_stable "$run2/logs/syslog.log" 0.3 20 || fail "the log kept growing"
# Root writes anywhere, so read-only comes from the mount itself.
mount --bind "$run2/logs" "$run2/logs"
mount -o remount,bind,ro "$run2/logs" || { echo "skipped: cannot remount read-only" >&2; exit 77; }
touch "$run2/logs/probe" 2>/dev/null && fail "the log directory is still writable"
"$LOADGEN" --count 100 --start 100 --rate 5000 >/dev/null
e2e_wait_stable "$run2/logs/syslog.log" 0.3 20 || fail "the log kept growing"
alive "log directory made read-only" "$run2"
"$LOGCHECK" --count 200 "$run2/logs/syslog.log" >/dev/null ||
    fail "lines after the directory turned read-only: $("$LOGCHECK" --count 200 "$run2/logs/syslog.log")"
e2e_stop_program || fail "exit status $? after SIGTERM"

rm -f "$run2/stderr.txt"
e2e_start_program "$program" "$run2"
[ "$(e2e_stderr_count "$run2" "Marovind: Could not open file")" -eq 1 ] ||
    fail "a read-only log directory at start-up did not show 'Could not open file' once: $(cat "$run2/stderr.txt")"
"$LOADGEN" --count 100 --start 200 --rate 5000 >/dev/null
sleep 0.5
alive "started with a read-only log directory" "$run2"
[ "$(e2e_line_count "$run2/logs/syslog.log")" -eq 200 ] || fail "a line reached a file that is read-only"
e2e_stop_program || fail "exit status $? after SIGTERM"
echo "log directory removed and read-only: no crash, reception went on"
