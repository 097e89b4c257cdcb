#!/usr/bin/env bash
# Log files renamed or removed under the running program, as logrotate or a clean-up
# does: within two seconds the next lines go to a new file at the same path, no line is
# lost or doubled across the two files, and a removed directory is reported once and
# written to again as soon as it is back. For the one-file scheme and per-address files.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
boxes() { e2e_stderr_count "$1" "Marovind: Could not open file"; }

# run NAME LOG_TYPE SECURITY FILE
run() {
    local run=$dir/$1 type=$2 security=$3 name=$4
    local logs=$run/logs
    mkdir -p "$logs"
    printf '127.0.0.1\r\n' >"$run/ipaddr.flt"
    e2e_write_settings "$run" "$type" "$logs/" "$security"
    e2e_start_program "$program" "$run"
    "$LOADGEN" --count 200 --rate 2000 >/dev/null
    e2e_wait_stable "$logs/$name" 0.3 20 || fail "$1: the log kept growing"

    # Renamed away: 300 lines over three seconds, at most two seconds of them in the old file.
    mv "$logs/$name" "$logs/$name.1"
    "$LOADGEN" --count 300 --start 200 --rate 100 >/dev/null
    e2e_wait_stable "$logs/$name" 0.5 20 || fail "$1: no new $name after the rename"
    local late
    late=$(($(e2e_line_count "$logs/$name.1") - 200))
    [ "$late" -le 200 ] || fail "$1: $late lines went to the renamed file"
    cat "$logs/$name.1" "$logs/$name" >"$run/both"
    "$LOGCHECK" --count 500 "$run/both" >/dev/null ||
        fail "$1: lines lost or doubled across the rename: $("$LOGCHECK" --count 500 "$run/both")"
    [ "$(boxes "$run")" -eq 0 ] || fail "$1: a message after a rename: $(cat "$run/stderr.txt")"

    # The directory removed: one message, then lines again once it is back.
    rm -rf "$logs"
    "$LOADGEN" --count 200 --start 500 --rate 100 >/dev/null
    [ "$(boxes "$run")" -eq 1 ] || fail "$1: 'Could not open file' not shown once: $(cat "$run/stderr.txt")"
    mkdir "$logs"
    "$LOADGEN" --count 300 --start 700 --rate 100 >/dev/null
    e2e_wait_stable "$logs/$name" 0.5 20 || fail "$1: nothing written after the directory came back"
    local back
    back=$(e2e_line_count "$logs/$name")
    [ "$back" -ge 100 ] || fail "$1: only $back lines after the directory came back"
    "$LOGCHECK" "$logs/$name" >/dev/null || fail "$1: $("$LOGCHECK" "$logs/$name")"
    [ "$(boxes "$run")" -eq 1 ] || fail "$1: another message after the directory came back"
    e2e_stop_program || fail "$1: exit status $? after SIGTERM"
}

run single 0 false syslog.log
run per_address 3 true 127_0_0_1.log
echo "renamed and removed log files: followed to their paths, one message for a lost directory"
