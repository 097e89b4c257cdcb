#!/usr/bin/env bash
# TCP load benchmark: the real program against Debian's rsyslog (imtcp), side by side.
#   bench/tcp_load.sh [BUILD_DIR]   (default: build; needs marovindd, marovind, tcploadgen, logcheck)
# Each run starts a fresh server in a fresh directory, in a private network namespace, and
# sends it numbered 100-byte messages over TCP on loopback, LF-framed or octet-counted, from
# one connection or from 100 at once, as fast as the server takes them. It waits until the
# log stops growing and counts what the log holds: messages per second logged (from the
# first byte sent to the last line written), messages lost, and server CPU per message.
# Environment: TCP_LOAD_COUNT (1000000 per run), TCP_LOAD_SERVERS ("marovindd marovind rsyslog"),
# TCP_LOAD_TRANSPORTS ("tcp"; "tcp tls" adds the same runs over TLS, where rsyslog is imtcp
# with the ossl driver, anonymous), TCP_LOAD_FRAMINGS ("lf octet"), TCP_LOAD_HANDSHAKES (0; N
# also measures N TLS handshakes per server, from 4 connections at a time). bench/tls_load.sh
# runs TLS beside TCP.
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
transports=${TCP_LOAD_TRANSPORTS:-tcp}
framings=${TCP_LOAD_FRAMINGS:-lf octet}
handshakes=${TCP_LOAD_HANDSHAKES:-0}
port=6514
TRANSPORT=tcp
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One certificate for every TLS server of the run, made now: ECDSA P-256, self-signed.
if [[ " $transports " == *" tls "* ]] || [ "$handshakes" -gt 0 ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 \
        -subj /CN=localhost -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
fi
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

# TLS_CERT and TLS_KEY for a TLS run.
tls_settings() { # $1: run directory
    [ "$TRANSPORT" = tls ] || return 0
    printf 'TLS_CERT = %s\r\nTLS_KEY = %s\r\n' "$work/cert.pem" "$work/key.pem" >>"$1/Marovind.ini"
}

start_marovindd() { # $1: run directory
    e2e_write_settings "$1" 0 "$1/" false
    tls_settings "$1"
    (cd "$1" && exec "$build/marovindd" --dir "$1" "--$TRANSPORT-port" "$port" >"$1/stdout.txt" \
        2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/syslog.log
    EOL=crlf
    wait_listening
}

start_marovind() { # $1: run directory
    e2e_write_settings "$1" 0 "$1/" false
    printf '%s_PORT = %s\r\n' "${TRANSPORT^^}" "$port" >>"$1/Marovind.ini"
    tls_settings "$1"
    e2e_start_program "$build/marovind" "$1" || return 1
    SERVER_PID=$MAROVIND_PID
    LOG=$1/syslog.log
    EOL=crlf
    wait_listening
}

start_rsyslog() { # $1: run directory
    command -v rsyslogd >/dev/null || return 1
    # One TCP input for both framings and one file action; %rawmsg% keeps the message whole.
    local tls=
    if [ "$TRANSPORT" = tls ]; then
        # rsyslog's TLS receiver: the ossl driver, TLS only (mode 1), any sender (anon).
        tls="StreamDriver.Name=\"ossl\" StreamDriver.Mode=\"1\" StreamDriver.AuthMode=\"anon\""
        echo "global(DefaultNetstreamDriverCAFile=\"$work/cert.pem\" DefaultNetstreamDriverCertFile=\"$work/cert.pem\" DefaultNetstreamDriverKeyFile=\"$work/key.pem\")" >"$1/rsyslog.conf"
    else
        : >"$1/rsyslog.conf"
    fi
    cat >>"$1/rsyslog.conf" <<EOF
module(load="imtcp" MaxSessions="1000" $tls)
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
        printf '%-9s %-4s %-6s %5s %s\n' "$server" "$TRANSPORT" "$framing" "$connections" \
            "(could not start: $(head -c 200 "$dir/start-error.txt" | tr '\n' ' '))"
        [ -n "$SERVER_PID" ] && kill -KILL "$SERVER_PID" 2>/dev/null || true
        return 0
    fi
    sleep 0.5
    local cpu0 t0 sent check cpu1 seconds
    cpu0=$(e2e_cpu_ticks "$SERVER_PID")
    t0=$(date +%s.%N)
    sent=$("$tcploadgen" --port "$port" --connections "$connections" --count "$per_connection" \
        --framing "$framing" --tls "$([ "$TRANSPORT" = tls ] && echo yes || echo no)" 2>&1 || true)
    e2e_wait_stable "$LOG" 1.0 180 || true
    cpu1=$(e2e_cpu_ticks "$SERVER_PID")
    seconds=$(awk -v a="$E2E_LAST_GROWTH" -v b="$t0" 'BEGIN{s=a-b; print (s>0.001?s:0.001)}')
    kill -TERM "$SERVER_PID" 2>/dev/null
    e2e_wait_exit "$SERVER_PID" 60 || true
    check=$("$LOGCHECK" --count "$n" --eol "$EOL" "$LOG" 2>&1 || true)
    local received lost
    received=$(field received "$check")
    lost=$(field lost "$check")
    printf '%-9s %-4s %-6s %5s %9s %8s %9s %6s %8s\n' "$server" "$TRANSPORT" "$framing" \
        "$connections" "${received:-?}" "${lost:-?}" \
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
printf '%-9s %-4s %-6s %5s %9s %8s %9s %6s %8s\n' server via frame conns received lost \
    'logged/s' 'cpu%' 'us/msg'
for TRANSPORT in $transports; do
    for server in $servers; do
        for framing in $framings; do
            for connections in 1 100; do
                run "$server" "$framing" "$connections"
            done
        done
    done
done
echo "logged/s: messages in the log per second, from the first sent to the last line written;"
echo "cpu%: server CPU time over that span; us/msg: server CPU microseconds per message logged."

# TLS handshakes per second: full handshakes (no resumption), each connection closed after
# its handshake, 4 at a time; server CPU per handshake.
handshake_run() {
    local server=$1 dir
    dir=$(mktemp -d "$work/$server-hs.XXXX")
    TRANSPORT=tls
    if ! "start_$server" "$dir" 2>"$dir/start-error.txt"; then
        printf '%-9s (could not start)\n' "$server"
        return 0
    fi
    sleep 0.5
    local cpu0 cpu1 out rate made
    cpu0=$(e2e_cpu_ticks "$SERVER_PID")
    out=$("$tcploadgen" --port "$port" --connections 4 --handshakes "$handshakes" 2>&1 || true)
    sleep 0.5 # the last closes
    cpu1=$(e2e_cpu_ticks "$SERVER_PID")
    kill -TERM "$SERVER_PID" 2>/dev/null
    e2e_wait_exit "$SERVER_PID" 60 || true
    rate=$(field rate "$out")
    made=$(field handshakes "$out")
    printf '%-9s %10s %12s %10s\n' "$server" "${made:-?}" "${rate:-?}" \
        "$(awk -v c=$((cpu1 - cpu0)) -v t="$ticks_per_second" -v n="${made:-0}" \
            'BEGIN{if (n > 0) printf "%.0f", 1e6*c/t/n; else printf "-"}')"
    [ -n "$rate" ] || echo "  ($server: $out)"
}
if [ "$handshakes" -gt 0 ]; then
    printf '\n%-9s %10s %12s %10s\n' server handshakes 'handshakes/s' 'us/hs'
    for server in $servers; do
        handshake_run "$server"
    done
    echo "us/hs: server CPU microseconds per handshake (the client's side runs on the same cores)."
fi
exit 0
