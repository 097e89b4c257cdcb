#!/usr/bin/env bash
# SIGTERM and SIGINT in the middle of a flood: the program ends cleanly (status 0, soon),
# and the log holds only complete lines, each once, in order: no torn last line.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" "${SENDER:-0}" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for signal in TERM INT; do
    run=$dir/$signal
    mkdir "$run"
    e2e_start_program "$program" "$run"
    "$LOADGEN" --count 400000 --rate 0 >/dev/null 2>&1 &
    SENDER=$!
    # Let the flood reach the log first.
    for _ in $(seq 100); do
        [ "$(e2e_file_size "$run/syslog.log")" -gt 100000 ] && break
        sleep 0.05
    done
    kill -"$signal" "$MAROVIND_PID"
    status=0
    e2e_wait_exit "$MAROVIND_PID" 20 || status=$?
    wait "$SENDER" 2>/dev/null || true
    [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status: $(tail -3 "$run/stderr.txt")"
    check=$("$LOGCHECK" "$run/syslog.log" || true)
    for clean in incomplete=0 duplicated=0 out_of_order=0 foreign=0 last_line=complete; do
        [[ " $check " == *" $clean "* ]] || fail "SIG$signal: want $clean: $check"
    done
    [[ "$check" == *" received=0 "* ]] && fail "SIG$signal: nothing was logged before the signal"
    echo "SIG$signal during a flood: ${check#logcheck: }"
done
[ "$failures" -eq 0 ]
