#!/usr/bin/env bash
# Forwarding benchmark, in a private network namespace: marovindd takes numbered 100-byte
# datagrams from loadgen and forwards them over TCP (octet counting) to a collector that only
# stores what it reads (a Python socket reader, so the collector is never the bottleneck).
#   bench/forward_load.sh [BUILD_DIR]   (default: build; needs marovindd, loadgen)
# It prints:
#   - marovindd's CPU per message without forwarding and with one TCP target, at the rate;
#   - messages logged and forwarded (none may be lost between the two);
#   - the disk queue: the rate messages are written to it while the collector is away, and the
#     rate they are resent once it is back.
# Environment: FORWARD_LOAD_COUNT (1000000), FORWARD_LOAD_RATE (100000 datagrams/s).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$build"
e2e_find_tools "$build/marovindd"
count=${FORWARD_LOAD_COUNT:-1000000}
rate=${FORWARD_LOAD_RATE:-100000}
port=7601
tick=$(getconf CLK_TCK)
work=$(mktemp -d)
SINK_PID=
trap 'kill $SINK_PID 2>/dev/null; rm -rf "$work"' EXIT

sink() { # file
    python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(4)
with open(sys.argv[2], "ab", buffering=0) as out:
    while True:
        c, _ = s.accept()
        while (b := c.recv(1 << 20)):
            out.write(b)
        c.close()
' "$port" "$1" &
    SINK_PID=$!
    for _ in $(seq 100); do e2e_tcp_bound "$port" && return; sleep 0.05; done
}

start() { # run-directory [target]
    mkdir -p "$1"
    e2e_write_settings "$1" 0 "$1/" false
    [ -z "${2:-}" ] || printf '[Forward]\r\nTARGET = %s\r\n' "$2" >>"$1/Marovind.ini"
    (cd / && exec "$build/marovindd" --dir "$1" 2>"$1/stderr.txt") &
    PID=$!
    for _ in $(seq 100); do e2e_udp_bound 514 && return; sleep 0.05; done
}

stop() { kill -TERM "$PID"; e2e_wait_exit "$PID" 60 >/dev/null || true; }
seqs() { grep -o 'seq=[0-9]*' "$1" | wc -l; }
# waits until file $1 holds $2 sequence numbers; prints the seconds it took
wait_count() {
    local start=$(date +%s.%N)
    for _ in $(seq 1200); do
        [ "$(grep -c 'seq=' "$1" 2>/dev/null || true)" -ge "$2" ] && break
        sleep 0.1
    done
    echo "$(date +%s.%N) - $start" | bc
}

cpu_run() { # name [target]
    local run=$work/$1
    start "$run" "${2:-}"
    local before after
    before=$(e2e_cpu_ticks "$PID")
    "$LOADGEN" --count "$count" --rate "$rate" >/dev/null
    e2e_wait_stable "$run/syslog.log" 1 120 || true
    [ -z "${2:-}" ] || wait_count "$work/sink.txt" "$(e2e_line_count "$run/syslog.log")" >/dev/null
    after=$(e2e_cpu_ticks "$PID")
    stop
    local logged
    logged=$(e2e_line_count "$run/syslog.log")
    printf '%-22s %8d logged  %6.2f us CPU per message' "$1" "$logged" \
        "$(echo "($after - $before) * 1000000 / $tick / $logged" | bc -l)"
    [ -z "${2:-}" ] || printf '  %8d forwarded' "$(grep -c 'seq=' "$work/sink.txt")"
    echo
}

echo "forwarding $count datagrams at $rate/s (load average $(cut -d' ' -f1-3 /proc/loadavg))"
cpu_run "no forwarding"
sink "$work/sink.txt"
cpu_run "one TCP target" "tcp://127.0.0.1:$port"
kill $SINK_PID; wait $SINK_PID 2>/dev/null || true

# The disk queue: the collector away while the messages come, then back.
run=$work/queue
start "$run" "tcp://127.0.0.1:$port"
started=$(date +%s.%N)
"$LOADGEN" --count "$count" --rate "$rate" >/dev/null
e2e_wait_stable "$run/syslog.log" 1 120 || true
queue=$(du -sb "$run/forward" | cut -f1)
written=$(e2e_line_count "$run/syslog.log")
printf 'disk queue: %d messages (%d MB) written at the rate they came, %.0f/s\n' "$written" \
    "$((queue >> 20))" "$(echo "$written / ($E2E_LAST_GROWTH - $started)" | bc -l)"
rm -f "$work/sink2.txt"
sink "$work/sink2.txt"
took=$(wait_count "$work/sink2.txt" "$written")
printf 'disk queue: resent %d in %.1f s (%.0f/s, reconnecting within the 1 to 60 s backoff)\n' \
    "$(grep -c 'seq=' "$work/sink2.txt")" "$took" "$(echo "$written / $took" | bc -l)"
stop
