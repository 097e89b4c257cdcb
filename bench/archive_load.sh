#!/usr/bin/env bash
# Reception while a 1 GiB rotated log compresses: marovindd with COMPRESS = true finds the
# file at start and gzips it on its worker thread, while loadgen sends 100-byte datagrams at
# 100,000 a second (private network namespace). Prints the compression time and MB/s, and
# how many datagrams were logged and lost.
#   bench/archive_load.sh BUILD_DIR [MiB, default 1024] [datagrams, default 3000000]
set -euo pipefail
build=$(realpath "${1:-build}")
mib=${2:-1024}
count=${3:-3000000}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$build/marovindd"
dir=$(mktemp -d)
trap 'kill -KILL "${PID:-0}" 2>/dev/null || true; rm -rf "$dir"' EXIT

# 64 MiB of varied log lines, repeated: deflate's 32 KiB window never sees the repeats.
python3 - "$dir/block" <<'PY'
import random, sys
r = random.Random(1)
with open(sys.argv[1], "wb") as f:
    size, i = 0, 0
    while size < 64 << 20:
        line = b"Dec 09 %02d:%02d:%02d 10.1.%d.%d <13>host-%d app[%d]: request %x served in %d ms\r\n" % (
            i // 3600 % 24, i // 60 % 60, i % 60, r.randrange(4), r.randrange(250), r.randrange(40),
            r.randrange(30000), r.getrandbits(48), r.randrange(900))
        f.write(line)
        size += len(line)
        i += 1
PY
for _ in $(seq $((mib / 64))); do cat "$dir/block"; done >"$dir/syslog.2026-12-09.log"
rm "$dir/block"
mv "$dir/syslog.2026-12-09.log" "$dir/big.log"
bytes=$(stat -c %s "$dir/big.log")

# run_case NAME COMPRESS: one daemon run in a fresh directory; with COMPRESS, the 1 GiB
# file waits there as a rotated log to compress.
run_case() {
    local d=$dir/$1 began done_at="" during=n/a sender
    mkdir "$d"
    printf '[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = %s/\r\nLOG_SECURITY = false\r\n' "$d" >"$d/Marovind.ini"
    if [ "$2" = yes ]; then
        printf 'COMPRESS = true\r\n' >>"$d/Marovind.ini"
        mv "$dir/big.log" "$d/syslog.2026-12-09.log"
    fi
    (cd / && exec "$build/marovindd" --dir "$d" --port 514 2>"$d/stderr.txt") &
    PID=$!
    began=$(date +%s.%N)
    for _ in $(seq 200); do e2e_udp_bound 514 && break; sleep 0.05; done
    "$LOADGEN" --count "$count" --rate 100000 --size 100 >/dev/null &
    sender=$!
    while kill -0 "$sender" 2>/dev/null || { [ "$2" = yes ] && [ -z "$done_at" ]; }; do
        if [ "$2" = yes ] && [ -z "$done_at" ] && [ -e "$d/syslog.2026-12-09.log.gz" ] &&
            [ ! -e "$d/syslog.2026-12-09.log" ]; then
            done_at=$(date +%s.%N)
            kill -0 "$sender" 2>/dev/null && during=no || during=yes # still sending: it did not
        fi
        sleep 0.1
    done
    wait "$sender"
    e2e_wait_stable "$d/syslog.log" 0.5 60 || true
    kill -TERM "$PID" && wait "$PID" || true
    echo "$1: $("$LOGCHECK" --count "$count" "$d/syslog.log" | grep -o 'received=[0-9]* .*loss_pct=[0-9.]*' || true)"
    if [ "$2" = yes ]; then
        awk -v b="$bytes" -v p="$(stat -c %s "$d/syslog.2026-12-09.log.gz")" -v s="$began" -v e="$done_at" -v d="$during" \
            'BEGIN { printf "  compressed %.0f MiB in %.1f s: %.1f MB/s, %.1f%% of the size (it outlasted the load: %s)\n", b / 1048576, e - s, b / 1e6 / (e - s), 100 * p / b, d }'
        grep -v "^Marovind Version\|Listening" "$d/stderr.txt" || true
    fi
    rm -rf "$d"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (a shared machine: figures are noisy)"
echo "$count datagrams of 100 bytes at 100,000/s"
run_case without_compression no
run_case while_compressing yes
