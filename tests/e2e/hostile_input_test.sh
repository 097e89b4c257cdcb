#!/usr/bin/env bash
# A few thousand hostile datagrams (random bytes, zero bytes, 65,000-byte datagrams, empty
# ones, only markers, huge priority numbers, line ends) leave the program running, and each
# one is logged as exactly the line it calls for, in order.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$program"
hostile=$(dirname "$LOADGEN")/hostile
[ -x "$hostile" ] || { echo "skipped: hostile is not built beside $program" >&2; exit 77; }

dir=$(mktemp -d)
trap 'kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

e2e_start_program "$program" "$dir"
"$hostile" --expect "$dir/expected.txt" --count 3000 --rate 4000 --seed 7 >/dev/null
# A plain message last: it must arrive behind all of them.
"$LOADGEN" --count 1 --start 424242 >/dev/null
e2e_wait_stable "$dir/syslog.log" 0.5 30 || fail "the log kept growing"
kill -0 "$MAROVIND_PID" 2>/dev/null || fail "the program ended: $(cat "$dir/stderr.txt")"

log=$dir/syslog.log
expected_lines=$(($(e2e_line_count "$dir/expected.txt") + 1))
[ "$(e2e_line_count "$log")" -eq "$expected_lines" ] ||
    fail "$(e2e_line_count "$log") log lines, expected $expected_lines"
"$LOGCHECK" "$log" >"$dir/check.txt" || fail "incomplete lines: $(cat "$dir/check.txt")"

export LC_ALL=C
# Every line: the receive time, the sender, then the message text.
bad=$(grep -avcE $'^[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} 127\\.0\\.0\\.1 ' "$log" || true)
[ "$bad" -eq 0 ] || fail "$bad lines without the time and sender in front"
sed 's/\r$//' "$log" | cut -b 27- >"$dir/messages.txt"
tail -n 1 "$dir/messages.txt" | grep -q '^loadgen seq=424242 ' || fail "the last message is not last"
head -n -1 "$dir/messages.txt" | cmp -s - "$dir/expected.txt" ||
    fail "the logged messages differ from the datagrams sent (first difference:" \
        "$(head -n -1 "$dir/messages.txt" | cmp - "$dir/expected.txt" 2>&1 | head -1))"

e2e_stop_program || fail "exit status $? after SIGTERM"
echo "hostile input: $((expected_lines - 1)) datagrams, each logged as expected"
