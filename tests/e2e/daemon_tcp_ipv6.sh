#!/usr/bin/env bash
# TCP and IPv6 reception end to end, in a private network namespace, against marovindd and
# the window program: logger over TCP with both framings, Python's SysLogHandler, UDP and TCP
# over ::1, an IPv4-mapped sender logged as IPv4, a framing error; then the source filter
# with an IPv6 line in ipaddr.flt, a per-address file of an IPv6 sender and a refused sender
# disconnected before anything is read; 200 connections of 1,000 messages each at once, all
# logged once and in each connection's order. marovindd also: --tcp-port over TCP_PORT,
# SIGHUP applying changed keys, and the bind message of a TCP port that is taken.
#   daemon_tcp_ipv6.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
window=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$daemon"
TCPLOADGEN=$(dirname "$LOADGEN")/tcploadgen
for tool in logger python3 "$TCPLOADGEN"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
if ! ip -6 addr show dev lo | grep -q '::1'; then
    echo "skipped: no IPv6 on loopback" >&2
    exit 77
fi
export LC_ALL=C

e2e_begin_test
TCP=6514


# Starts marovindd in $1 with the given arguments; waits for UDP 514 and TCP $TCP.
start_daemon() {
    local run=$1
    shift
    (cd / && exec "$daemon" --dir "$run" "$@" 2>"$run/stderr.txt") &
    MAROVIND_PID=$!
    pids+=("$MAROVIND_PID")
    wait_ports "$run"
}

start_window() {
    e2e_start_program "$window" "$1" || return 1
    pids+=("$MAROVIND_PID")
    wait_ports "$1"
}

wait_ports() {
    for _ in $(seq 100); do
        e2e_udp_bound 514 && e2e_tcp_bound "$TCP" && return 0
        kill -0 "$MAROVIND_PID" 2>/dev/null || break
        sleep 0.05
    done
    fail "$1: UDP 514 and TCP $TCP not bound: $(cat "$1/stderr.txt")"
    return 1
}

# Python over TCP: SysLogHandler (each message ends in NUL), or raw bytes; prints what the
# server did with the connection afterwards: "closed" or "open".
python_send() {
    python3 - "$@" <<'PY'
import logging, logging.handlers, socket, sys
mode, host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
if mode == "handler":
    handler = logging.handlers.SysLogHandler(address=(host, port), socktype=socket.SOCK_STREAM)
    log = logging.getLogger("e2e")
    log.addHandler(handler)
    log.warning("from python")
    handler.close()
    sys.exit(0)
s = socket.create_connection((host, port), timeout=5)
s.settimeout(3)
if mode == "raw":
    s.sendall(sys.argv[4].encode().decode("unicode_escape").encode("latin-1"))
try:
    print("closed" if s.recv(1) == b"" else "data")
except ConnectionResetError:
    print("closed")
except socket.timeout:
    print("open")
PY
}

# Waits until every file given has stopped growing.
settle() {
    local f
    for f in "$@"; do e2e_wait_stable "$f" 0.3 20; done
}

has_line() { # file, address, text
    grep -qE "^[A-Z][a-z]{2} [0-9]{2} [0-9:]{8} $2 .*$3"$'\r''$' "$1" || fail "$1: no line from $2 with '$3': $(cat -A "$1" | tail -12)"
}

senders() {
    logger --tcp -n 127.0.0.1 -P "$TCP" --rfc3164 -t e2e "tcp lf framed"
    logger --tcp --octet-count -n 127.0.0.1 -P "$TCP" --rfc3164 -t e2e "tcp octet counted"
    python_send handler 127.0.0.1 "$TCP"
    logger --udp -n ::1 -P 514 --rfc3164 -t e2e "udp over ipv6"
    logger --tcp -n ::1 -P "$TCP" --rfc3164 -t e2e "tcp over ipv6"
    logger --tcp -n ::ffff:127.0.0.1 -P "$TCP" --rfc3164 -t e2e "mapped sender"
    local after
    after=$(python_send raw 127.0.0.1 "$TCP" '<13>before the error\n12x<13>after the error\n')
    [ "$after" = closed ] || fail "a framing error left the connection $after"
}

check_senders() {
    local log=$1/syslog.log
    settle "$log"
    has_line "$log" '127\.0\.0\.1' 'tcp lf framed'
    has_line "$log" '127\.0\.0\.1' 'tcp octet counted'
    has_line "$log" '127\.0\.0\.1' 'from python'
    has_line "$log" '::1' 'udp over ipv6'
    has_line "$log" '::1' 'tcp over ipv6'
    has_line "$log" '127\.0\.0\.1' 'mapped sender'
    has_line "$log" '127\.0\.0\.1' 'before the error'
    grep -q "ffff" "$log" && fail "an IPv4-mapped address was logged"
    grep -q "after the error" "$log" && fail "bytes after a framing error were logged"
    [ "$(e2e_line_count "$log")" -eq 7 ] || fail "$log: want 7 lines: $(cat -A "$log")"
}

# 200 connections of 1,000 messages each, at once: every message once, in its order.
check_many() {
    local log=$1/syslog.log before
    before=$(e2e_line_count "$log")
    "$TCPLOADGEN" --connections 200 --count 1000 --port "$TCP" >"$1/tcploadgen.txt" 2>&1 ||
        fail "tcploadgen: $(cat "$1/tcploadgen.txt")"
    settle "$log"
    local check
    check=$("$LOGCHECK" --count 200000 "$log" || true)
    for want in received=200000 lost=0 duplicated=0 incomplete=0; do
        [[ " $check " == *" $want "* ]] || fail "200 x 1000: want $want: $check"
    done
    awk 'match($0, /conn=[0-9]+ seq=[0-9]+/) {
             split(substr($0, RSTART, RLENGTH), f, /[= ]/)
             if ((f[2] in last) && f[4] + 0 <= last[f[2]]) bad++
             last[f[2]] = f[4] + 0
         }
         END { exit bad > 0 }' "$log" || fail "200 x 1000: a connection's messages out of order"
    [ "$(e2e_line_count "$log")" -eq $((before + 200000)) ] || fail "200 x 1000: foreign lines"
}

# The source filter: ipaddr.flt lists ::1 in a long spelling; per-address files.
filter_settings() {
    printf '0:0:0:0:0:0:0:1\r\n' >"$1/ipaddr.flt"
    printf '[Marovind]\r\nLOG_TYPE = 3\r\nLOG_DIR = %s/\r\nLOG_SECURITY = true\r\nIPV6 = true\r\nTCP_PORT = %s\r\n' \
        "$1" "$TCP" >"$1/Marovind.ini"
}

check_filter() {
    local run=$1 state
    logger --tcp -n ::1 -P "$TCP" --rfc3164 -t e2e "listed ipv6 sender"
    state=$(python_send raw 127.0.0.1 "$TCP" '')
    [ "$state" = closed ] || fail "a refused sender's connection stayed $state"
    state=$(python_send raw 127.0.0.1 "$TCP" '<13>refused sender\n')
    [ "$state" = closed ] || fail "a refused sender's connection stayed $state (after sending)"
    settle "$run/--1.log"
    has_line "$run/--1.log" '::1' 'listed ipv6 sender'
    grep -rq "refused sender" "$run" --include='*.log' && fail "a refused sender was logged"
}

stop() {
    local status=0
    kill -TERM "$MAROVIND_PID"
    e2e_wait_exit "$MAROVIND_PID" 20 || status=$?
    [ "$status" -eq 0 ] || fail "$1: SIGTERM gave status $status"
}

# marovindd: --tcp-port in place of TCP_PORT (which is not there), IPv6 from the settings.
run=$dir/daemon
mkdir "$run"
e2e_write_settings "$run" 0 "$run/" false
printf 'IPV6 = true\r\n' >>"$run/Marovind.ini"
if start_daemon "$run" --tcp-port "$TCP"; then
    grep -qxF "Listening for syslog messages on TCP port: $TCP" "$run/stderr.txt" ||
        fail "no TCP port line: $(cat "$run/stderr.txt")"
    grep -qxF "Listening for syslog messages on IP address: ::1" "$run/stderr.txt" ||
        fail "no IPv6 address line: $(cat "$run/stderr.txt")"
    senders
    check_senders "$run"
    check_many "$run"
    grep -q "TCP: 1 framing errors" "$run/stderr.txt" || fail "the framing error was not reported"
    # SIGHUP applies the filter, the per-address scheme and TCP_PORT (the option still wins).
    filter_settings "$run"
    kill -HUP "$MAROVIND_PID"
    for _ in $(seq 100); do [ -f "$run/--1.log" ] && break; sleep 0.05; done
    check_filter "$run"
    [ "$(grep -c "senders refused" "$run/stderr.txt")" -eq 1 ] ||
        fail "refusals not reported once a minute: $(cat "$run/stderr.txt")"
    stop marovindd
fi

# A TCP port that is taken: the bind message names it, and UDP still works.
run=$dir/taken
mkdir "$run"
taken=6515
python3 -c 'import socket,sys,time; s=socket.socket(); s.bind(("0.0.0.0", int(sys.argv[1]))); s.listen(); time.sleep(30)' "$taken" &
holder=$!
pids+=("$holder")
for _ in $(seq 50); do e2e_tcp_bound "$taken" && break; sleep 0.05; done
(cd / && exec "$daemon" --dir "$run" --tcp-port "$taken" 2>"$run/stderr.txt") &
MAROVIND_PID=$!
pids+=("$MAROVIND_PID")
for _ in $(seq 100); do e2e_udp_bound 514 && break; sleep 0.05; done
grep -qxF "Syslog: Couldn't bind TCP socket $taken: [10048] Address already in use" "$run/stderr.txt" ||
    fail "no TCP bind message: $(cat "$run/stderr.txt")"
printf '<13>udp goes on' >/dev/udp/127.0.0.1/514
settle "$run/syslog.log"
has_line "$run/syslog.log" '127\.0\.0\.1' 'udp goes on'
stop "marovindd with a taken port"
kill -KILL "$holder" 2>/dev/null

# The window program: the same senders with everything from its settings file.
if [ -n "$window" ]; then
    run=$dir/window
    mkdir "$run"
    e2e_write_settings "$run" 0 "$run/" false
    printf 'IPV6 = true\r\nTCP_PORT = %s\r\n' "$TCP" >>"$run/Marovind.ini"
    if start_window "$run"; then
        senders
        check_senders "$run"
        check_many "$run"
        stop marovind
    fi
    run=$dir/window-filter
    mkdir "$run"
    filter_settings "$run"
    if start_window "$run"; then
        check_filter "$run"
        stop "marovind, filtered"
    fi
fi

[ "$failures" -eq 0 ] || exit 1
echo "daemon_tcp_ipv6: all checks passed"
