#!/usr/bin/env bash
# A second instance started while the first is taking a steady stream: the second ends with
# the bind message, and the first goes on untouched, logging every message of the stream.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" "${SECOND:-0}" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$dir/first" "$dir/second"
e2e_start_program "$program" "$dir/first"
first=$MAROVIND_PID
"$LOADGEN" --count 40000 --rate 10000 >"$dir/loadgen.txt" &
sender=$!

cp "$program" "$dir/second/marovind"
(cd "$dir/second" && exec env QT_QPA_PLATFORM=offscreen ./marovind 2>"$dir/second/stderr.txt") &
SECOND=$!
status=0
e2e_wait_exit "$SECOND" 30 || status=$?
[ "$status" -ne 0 ] && [ "$status" -ne 124 ] || fail "the second instance ended with status $status"
grep -qxF "Marovind: Syslog: Couldn't bind socket 514: [10048] Address already in use" \
    "$dir/second/stderr.txt" || fail "no bind message from the second instance: $(cat "$dir/second/stderr.txt")"

wait "$sender" || fail "loadgen: $(cat "$dir/loadgen.txt")"
e2e_wait_stable "$dir/first/syslog.log" 0.5 30 || fail "the first instance's log kept growing"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"
"$LOGCHECK" --count 40000 "$dir/first/syslog.log" >"$dir/check.txt" ||
    fail "the first instance lost messages meanwhile: $(cat "$dir/check.txt")"
e2e_stop_program || fail "the first instance: exit status $? after SIGTERM"
echo "second instance: bind message shown; the first logged all 40000 messages meanwhile"
