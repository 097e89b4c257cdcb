#!/usr/bin/env bash
# Alert rules under load, in a private network namespace: marovindd takes numbered 100-byte
# datagrams from loadgen at the rate, once without alerts.ini and once with 50 rules (half
# regular expressions, shaped like bench_alert_rules' and matching none), and prints
# messages sent and logged and marovindd's CPU per message in each run.
#   bench/alerts_load.sh [BUILD_DIR]   (default: build; needs marovindd, loadgen)
# Environment: ALERTS_LOAD_COUNT (1000000), ALERTS_LOAD_RATE (100000 datagrams/s).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$build"
e2e_find_tools "$build/marovindd"
count=${ALERTS_LOAD_COUNT:-1000000}
rate=${ALERTS_LOAD_RATE:-100000}
tick=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fifty_rules() {
    for i in $(seq 0 49); do
        printf '[Alert %d]\r\nNAME = rule %d\r\nNOTIFY = true\r\n' $((i + 1)) "$i"
        if [ $((i % 2)) -eq 0 ]; then
            printf 'TEXT = disk %d failed\r\n' "$i"
        else
            printf 'TEXT = fail(ed|ure) for (user|root) [a-z]+ on dev%d\r\nTEXT_REGEX = true\r\n' "$i"
        fi
        [ $((i % 5)) -ne 1 ] || printf 'MIN_SEVERITY = info\r\n'
        [ $((i % 11)) -ne 5 ] || printf 'ADDRESS = 127.\r\n'
    done
}

run() { # name [rules]
    local dir=$work/$1
    mkdir -p "$dir"
    e2e_write_settings "$dir" 0 "$dir/" false
    [ -z "${2:-}" ] || fifty_rules >"$dir/alerts.ini"
    (cd / && exec "$build/marovindd" --dir "$dir" 2>"$dir/stderr.txt") &
    PID=$!
    for _ in $(seq 100); do e2e_udp_bound 514 && break; sleep 0.05; done
    local before after logged
    before=$(e2e_cpu_ticks "$PID")
    "$LOADGEN" --count "$count" --rate "$rate" >/dev/null
    e2e_wait_stable "$dir/syslog.log" 1 120 || true
    after=$(e2e_cpu_ticks "$PID")
    kill -TERM "$PID"
    e2e_wait_exit "$PID" 60 >/dev/null || true
    logged=$(e2e_line_count "$dir/syslog.log")
    printf '%-10s %8d sent %8d logged  %6.2f us CPU per message  %d alerts\n' "$1" "$count" \
        "$logged" "$(echo "($after - $before) * 1000000 / $tick / $logged" | bc -l)" \
        "$(grep -c '^Alert ' "$dir/stderr.txt" || true)"
}

echo "$count datagrams at $rate/s (load average $(cut -d' ' -f1-3 /proc/loadavg))"
run "no rules"
run "50 rules" yes
