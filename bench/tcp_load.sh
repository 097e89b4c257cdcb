#!/usr/bin/env bash
# TCP load benchmark: the real program against Debian's rsyslog (imtcp), side by side.
#   bench/tcp_load.sh [BUILD_DIR]   (default: build; needs marovindd, marovind, tcploadgen, logcheck)
# Each run starts a fresh server in a fresh directory, in a private network namespace, and
# sends it numbered 100-byte messages over TCP on loopback, LF-framed or octet-counted, from
# one connection or from 100 at once, as fast as the server takes them. It waits until the
# log stops growing and counts what the log holds: messages per second logged (from the
# first byte sent to the last line written), messages lost, and server CPU per message.
# Environment: TCP_LOAD_COUNT (1000000 per run), TCP_LOAD_SERVERS ("marovindd marovind rsyslog").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"

if [ "${MAROVIND_E2E_NAMESPACE:-}" != 1 ] && ! command -v rsyslogd >/dev/null; then
    "$root/scripts/install-deps" rsyslog || echo "rsyslog could not be installed" >&2
fi
e2e_enter_namespaces "-n" "$0" "$build"

e2e_find_tools "$build/marovindd"
tcploadgen=$build/tcploadgen
count=${TCP_LOAD_COUNT:-1000000}
servers=${TCP_LOAD_SERVERS:-marovindd marovind rsyslog}
port=6514
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
SERVER_PID=
LOG=
EOL=crlf

wait_listening() {
    local i
    for ((i = 0; i < 100; i++)); do
        grep -qE "$(printf ':%04X [0-9A-F]+:0000 0A ' "$port")" /proc/net/tcp /proc/net/tcp6 &&
            return 0
        kill -0 "$SERVER_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

start_marovindd() { # $1: run directory
    (cd "$1" && exec "$build/marovindd" --dir "$1" --tcp-port "$port" >"$1/stdout.txt" \
        2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/syslog.log
    EOL=crlf
    wait_listening
}

start_marovind() { # $1: run directory
    e2e_write_settings "$1" 0 "$1/" false
    printf 'TCP_PORT = %s\r\n' "$port" >>"$1/Marovind.ini"
    e2e_start_program "$build/marovind" "$1" || return 1
    SERVER_PID=$MAROVIND_PID
    LOG=$1/syslog.log
    EOL=crlf
    wait_listening
}

start_rsyslog() { # $1: run directory
    command -v rsyslogd >/dev/null || return 1
    # One TCP input for both framings and one file action; %rawmsg% keeps the message whole.
    cat >"$1/rsyslog.conf" <<EOF
module(load="imtcp" MaxSessions="1000")
input(type="imtcp" port="$port")
template(name="raw" type="string" string="%rawmsg%\n")
action(type="omfile" file="$1/messages.log" template="raw")
EOF
    (cd "$1" && exec rsyslogd -n -f "$1/rsyslog.conf" -i "$1/rsyslogd.pid" \
        >"$1/stdout.txt" 2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/messages.log
    EOL=lf
    wait_listening
}

field() { sed -n "s/.*[ :]$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# One run: server, framing, connections. Prints one table row.
run() {
    local server=$1 framing=$2 connections=$3
    local dir per_connection=$((count / connections))
    local n=$((per_connection * connections))
    dir=$(mktemp -d "$work/$server.XXXX")
    if ! "start_$server" "$dir" 2>"$dir/start-error.txt"; then
        printf '%-9s %-6s %5s %s\n' "$server" "$framing" "$connections" \
            "(could not start: $(head -c 200 "$dir/start-error.txt" | tr '\n' ' '))"
        [ -n "$SERVER_PID" ] && kill -KILL "$SERVER_PID" 2>/dev/null || true
        return 0
    fi
    sleep 0.5
    local cpu0 t0 sent check cpu1 seconds
    cpu0=$(e2e_cpu_ticks "$SERVER_PID")
    t0=$(date +%s.%N)
    sent=$("$tcploadgen" --port "$port" --connections "$connections" --count "$per_connection" \
        --framing "$framing" 2>&1 || true)
    e2e_wait_stable "$LOG" 1.0 180 || true
    cpu1=$(e2e_cpu_ticks "$SERVER_PID")
    seconds=$(awk -v a="$E2E_LAST_GROWTH" -v b="$t0" 'BEGIN{s=a-b; print (s>0.001?s:0.001)}')
    kill -TERM "$SERVER_PID" 2>/dev/null
    e2e_wait_exit "$SERVER_PID" 60 || true
    check=$("$LOGCHECK" --count "$n" --eol "$EOL" "$LOG" 2>&1 || true)
    local received lost
    received=$(field received "$check")
    lost=$(field lost "$check")
    printf '%-9s %-6s %5s %9s %8s %9s %6s %8s\n' "$server" "$framing" "$connections" \
        "${received:-?}" "${lost:-?}" \
        "$(awk -v r="${received:-0}" -v s="$seconds" 'BEGIN{printf "%.0f", r/s}')" \
        "$(awk -v c=$((cpu1 - cpu0)) -v t="$ticks_per_second" -v s="$seconds" \
            'BEGIN{printf "%.0f", 100*c/t/s}')" \
        "$(awk -v c=$((cpu1 - cpu0)) -v t="$ticks_per_second" -v r="${received:-0}" \
            'BEGIN{if (r > 0) printf "%.2f", 1e6*c/t/r; else printf "-"}')"
    [ -n "$(field rate "$sent")" ] || echo "  ($server: $sent)"
    local incomplete duplicated
    incomplete=$(field incomplete "$check")
    duplicated=$(field duplicated "$check")
    [ "${incomplete:-0}" = 0 ] || echo "  ($server $framing $connections: $incomplete incomplete lines)"
    [ "${duplicated:-0}" = 0 ] || echo "  ($server $framing $connections: $duplicated duplicated)"
}

echo "TCP load: $count messages of 100 bytes per run to 127.0.0.1:$port, $(nproc) cores," \
    "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %-6s %5s %9s %8s %9s %6s %8s\n' server frame conns received lost 'logged/s' \
    'cpu%' 'us/msg'
for server in $servers; do
    for framing in lf octet; do
        for connections in 1 100; do
            run "$server" "$framing" "$connections"
        done
    done
done
echo "logged/s: messages in the log per second, from the first sent to the last line written;"
echo "cpu%: server CPU time over that span; us/msg: server CPU microseconds per message logged."
exit 0
