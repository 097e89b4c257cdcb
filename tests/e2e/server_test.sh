#!/usr/bin/env bash
# The real program as its users run it, in a private network namespace of its own: it is
# copied into a fresh directory (its program directory) and started from elsewhere on the
# offscreen platform. Messages sent to UDP port 514 with util-linux logger and with a plain
# socket must land in syslog.log byte for byte, and the first start must write the four
# lines of Marovind.ini. A second instance cannot bind the port and ends with the bind
# message while the first goes on; SIGTERM ends a starting and a running instance cleanly.
set -uo pipefail

if [ "${1:-}" != "--inside" ]; then
    exe=${1:?usage: server_test.sh path/to/marovind}
    if ! unshare -n true 2>/dev/null; then
        echo "skipped: this user may not create a network namespace (unshare -n)" >&2
        exit 77
    fi
    for tool in logger ip ss timeout; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is not installed" >&2
            exit 77
        fi
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$exe" "$work/marovind"
    timeout 240 unshare -n bash "$0" --inside "$work"
    exit $?
fi

work=$(cd "$2" && pwd -P)
export QT_QPA_PLATFORM=offscreen LC_ALL=C
failures=0
pids=()
trap 'for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done' EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Waits up to 20 s for a condition given as a command.
wait_for() {
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

port_bound() { ss -Huln 'sport = :514' 2>/dev/null | grep -q .; }
log_lines() { [ -f "$work/syslog.log" ] && [ "$(grep -c $'\r$' "$work/syslog.log")" -ge "$1" ]; }

# Every "%b %d %H:%M:%S" second from $1 to $2 (epoch seconds), one a line.
seconds_between() {
    for ((s = $1; s <= $2; s++)); do date -d "@$s" '+%b %d %H:%M:%S'; done
}

# Checks line $1 of syslog.log: a receive time within [$2, $3] epoch seconds, then exactly
# the bytes of a blank and $4.
check_line() {
    local stamp got want allowed
    stamp=$(sed -n "$1p" "$work/syslog.log" | head -c 15)
    allowed=$(seconds_between "$2" "$3")
    grep -qxF "$stamp" <<<"$allowed" ||
        fail "line $1: receive time '$stamp' is not between $(date -d "@$2" +%T) and $(date -d "@$3" +%T)"
    got=$(sed -n "$1p" "$work/syslog.log" | tail -c +16 | od -An -v -tx1 | tr -d ' \n')
    want=$(printf ' %s' "$4" | od -An -v -tx1 | tr -d ' \n')
    [ "$got" = "$want" ] || fail "line $1: got bytes $got, want $want"
}

# True once process $1 has ended (a child that has not been waited for is a zombie).
ended() { [ ! -e "/proc/$1" ] || [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" = Z ]; }

ip link set lo up || { echo "skipped: cannot bring lo up in the namespace" >&2; exit 77; }
cd /

"$work/marovind" extra.log /p >"$work/first.out" 2>"$work/first.err" &
first=$!
pids+=("$first")
wait_for port_bound || { fail "the first instance never bound UDP port 514"; cat "$work/first.err" >&2; exit 1; }

# The settings file of a first start, exactly.
printf '[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = %s/\r\nLOG_SECURITY = false\r\n' "$work" >"$work/ini.want"
cmp -s "$work/Marovind.ini" "$work/ini.want" || fail "Marovind.ini: $(od -c "$work/Marovind.ini" | head -5)"

# util-linux logger: it prints the very datagram it sends on standard error.
start=$(date +%s)
logger --udp --server 127.0.0.1 --port 514 --rfc3164 --stderr -t e2e -p local3.warning \
    "hello from logger" 2>"$work/logger.sent"
sent=$(cat "$work/logger.sent")
wait_for log_lines 1 || fail "the logger message was not logged"
check_line 1 "$start" "$(date +%s)" "127.0.0.1 ${sent#*>}"$'\r\n'

# A plain socket: bash opens and connects it, cat writes each file as one datagram.
send_raw() {
    printf "$1" >"$work/datagram"
    cat "$work/datagram" >/dev/udp/127.0.0.1/514
}
start=$(date +%s)
send_raw '<13>two\r\nlines\tand a tab'
send_raw 'no markers at all'
send_raw '<96>facility 12 \377 byte'
send_raw '<13>'
wait_for log_lines 5 || fail "the plain socket messages were not all logged"
end=$(date +%s)
check_line 2 "$start" "$end" $'127.0.0.1 two  lines\tand a tab\r\n'
check_line 3 "$start" "$end" $'127.0.0.1 no markers at all\r\n'
check_line 4 "$start" "$end" $'127.0.0.1 facility 12 \377 byte\r\n'
check_line 5 "$start" "$end" $'127.0.0.1 \r\n'

# A second instance cannot bind the port: it says so and ends, the first goes on.
timeout 60 "$work/marovind" >"$work/second.out" 2>"$work/second.err"
status=$?
[ "$status" -ne 0 ] && [ "$status" -ne 124 ] || fail "the second instance ended with status $status"
grep -qF "Syslog: Couldn't bind socket 514: [10048] Address already in use" "$work/second.err" ||
    fail "no bind message from the second instance: $(cat "$work/second.err")"
kill -0 "$first" 2>/dev/null || fail "the first instance ended with the second"
start=$(date +%s)
send_raw '<13>still here'
wait_for log_lines 6 || fail "the first instance stopped logging"
check_line 6 "$start" "$(date +%s)" $'127.0.0.1 still here\r\n'

# SIGTERM during the splash ends a starting instance at once, before it binds anything.
"$work/marovind" >/dev/null 2>"$work/third.err" &
third=$!
pids+=("$third")
sleep 1
kill -TERM "$third"
wait_for ended "$third" || fail "SIGTERM did not end the splash"
wait "$third"
status=$?
[ "$status" -eq 0 ] || fail "the instance stopped in its splash ended with status $status"
grep -q "bind" "$work/third.err" && fail "the instance stopped in its splash tried to bind"

# SIGTERM ends the first instance as File > Exit does.
kill -TERM "$first"
wait_for ended "$first" || fail "SIGTERM did not end the first instance"
wait "$first"
status=$?
[ "$status" -eq 0 ] || fail "the first instance ended with status $status"
[ "$(grep -c $'\r$' "$work/syslog.log")" -eq 6 ] || fail "syslog.log does not hold exactly 6 lines"
grep -q '^Marovind: ' "$work/first.err" && fail "the first instance showed: $(cat "$work/first.err")"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "server_test: all checks passed"
