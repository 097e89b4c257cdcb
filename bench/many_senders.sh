#!/usr/bin/env bash
# Many senders: the permit list of a whole /16 network and 10,000 per-address log files,
# each beside the empty-list case, through the real window program (offscreen, private
# network namespace). 100,000 100-byte datagrams at 100,000 a second from 127.0.0.1,
# which stands last in ipaddr.flt. Prints start-up time to the bound port, datagrams
# logged and CPU time per datagram.
#   bench/many_senders.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$build/marovind"
ulimit -Sn 1024 # the usual desktop limit; the program raises it itself
count=100000
root=$(mktemp -d)
trap 'kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true; rm -rf "$root"' EXIT

# addresses N: N-1 addresses of 127.1.0.0/16, then 127.0.0.1
addresses() {
    local i
    for ((i = 0; i < $1 - 1; i++)); do printf '127.1.%d.%d\r\n' $((i / 256)) $((i % 256)); done
    printf '127.0.0.1\r\n'
}

# case NAME LOG_TYPE SECURITY LISTED FILE
run_case() {
    local dir=$root/$1 file=$5
    mkdir -p "$dir/logs"
    [ "$4" -gt 0 ] && addresses "$4" >"$dir/ipaddr.flt"
    e2e_write_settings "$dir" "$2" "$dir/logs/" "$3"
    local began ended ticks0 ticks1
    began=$(date +%s.%N)
    e2e_start_program "$build/marovind" "$dir"
    ended=$(date +%s.%N)
    ticks0=$(e2e_cpu_ticks "$MAROVIND_PID")
    "$LOADGEN" --count "$count" --rate 100000 >/dev/null
    e2e_wait_stable "$dir/logs/$file" 0.5 60 || true
    ticks1=$(e2e_cpu_ticks "$MAROVIND_PID")
    local logged
    logged=$(e2e_line_count "$dir/logs/$file")
    awk -v n="$1" -v s="$began" -v e="$ended" -v l="$logged" -v c="$count" \
        -v t=$((ticks1 - ticks0)) -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%-22s %10.2f %9d %7.2f %10.2f\n", n, e - s, l, 100 * (c - l) / c, 1e6 * t / hz / c }'
    e2e_stop_program >/dev/null || true
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (a shared machine: figures are noisy)"
printf '%-22s %10s %9s %7s %10s\n' case "start(s)" logged "loss%" "cpu_us/msg"
run_case empty_list_one_file 0 false 0 syslog.log
run_case listed_65536_one_file 0 true 65536 syslog.log
run_case empty_list_per_address 3 false 1 127_0_0_1.log
run_case per_address_10000 3 true 10000 127_0_0_1.log
