#!/usr/bin/env bash
# Archiving with marovindd, in private network and mount namespaces: size rotation with
# compression keeps every datagram's line exactly once across the files, and Python's gzip
# reads the compressed ones; a kill in the middle of compressing leaves the rotated file
# whole and the next start finishes the work; a disk that fills while compressing keeps the
# rotated file whole, is reported once, and a start with space compresses it.
#   daemon_archive.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n -m" "$0" "$@"
e2e_find_tools "$daemon"
command -v python3 >/dev/null || { echo "skipped: python3 is not installed" >&2; exit 77; }
export LC_ALL=C
port=5514

e2e_begin_test
trap 'for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done; umount -l "$dir/small" 2>/dev/null; rm -rf "$dir"' EXIT

# Starts marovindd on DIR with standard error into DIR/stderr.txt; waits for the port.
start_daemon() {
    (cd / && exec "$daemon" --dir "$1" --port "$port" 2>>"$1/stderr.txt") &
    PID=$!
    pids+=("$PID")
    for _ in $(seq 200); do
        e2e_udp_bound "$port" && return 0
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.05
    done
    fail "marovindd did not bind UDP $port: $(cat "$1/stderr.txt")"
    return 1
}
stop_daemon() { kill -TERM "$PID" && wait "$PID"; }
settings() { # DIR and extra key lines
    local d=$1
    shift
    printf '[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = %s/\r\nLOG_SECURITY = false\r\n' "$d" >"$d/Marovind.ini"
    printf '%s\r\n' "$@" >>"$d/Marovind.ini"
}
# Waits up to $2 tenths of a second for the command in $1 to succeed.
wait_for() {
    for _ in $(seq "$2"); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
sha() { sha256sum "$1" | cut -d' ' -f1; }
gunzip_sha() { python3 -c 'import gzip,hashlib,sys; print(hashlib.sha256(gzip.open(sys.argv[1]).read()).hexdigest())' "$1"; }

# 1. Size rotation with compression: 40,000 lines of about 130 bytes go over five files.
mkdir "$dir/size"
settings "$dir/size" "ROTATE_MB = 1" "COMPRESS = true"
start_daemon "$dir/size" || exit 1
"$LOADGEN" --port "$port" --count 40000 --rate 20000 --size 100 >/dev/null
e2e_wait_stable "$dir/size/syslog.log" 0.5 40 || fail "the log kept growing"
wait_for '[ -z "$(ls "$dir"/size/*.*.log "$dir"/size/*.part 2>/dev/null)" ]' 300 ||
    fail "rotated files left uncompressed: $(ls "$dir/size")"
stop_daemon || fail "marovindd ended with $? after SIGTERM"
rotated=$(ls "$dir"/size/syslog.*.log.gz 2>/dev/null | wc -l)
[ "$rotated" -ge 4 ] || fail "$rotated compressed files, not 4 or more: $(ls "$dir/size")"
# Every compressed file read with Python's gzip, oldest first, then the live one.
python3 - "$dir/size" >"$dir/all.log" <<'PY' || fail "Python's gzip could not read them"
import gzip, os, re, sys
d = sys.argv[1]
def order(name):
    m = re.match(r"syslog\.(\d{4}-\d\d-\d\d)(?:\.(\d+))?\.log\.gz$", name)
    return (m.group(1), int(m.group(2) or 0))
names = sorted((n for n in os.listdir(d) if n.endswith(".log.gz")), key=order)
out = sys.stdout.buffer
for n in names:
    data = gzip.open(os.path.join(d, n)).read()
    assert len(data) <= 1024 * 1024, n
    assert data.endswith(b"\r\n"), n
    out.write(data)
out.write(open(os.path.join(d, "syslog.log"), "rb").read())
PY
"$LOGCHECK" --count 40000 "$dir/all.log" >"$dir/check.txt" ||
    fail "lines across the files: $(cat "$dir/check.txt")"
grep -q "Could not" "$dir/size/stderr.txt" && fail "messages: $(cat "$dir/size/stderr.txt")"

# 2. Killed while compressing a large rotated file: it stays whole; the next start ends the work.
mkdir "$dir/crash"
settings "$dir/crash" "COMPRESS = true"
python3 -c '
import random, sys
r = random.Random(7)
with open(sys.argv[1], "wb") as f:
    for i in range(1200000):
        f.write(b"Dec 09 12:%02d:%02d 10.1.1.%d seq=%d %x\r\n" % (i // 60 % 60, i % 60, i % 250, i, r.getrandbits(64)))
' "$dir/crash/syslog.2026-12-09.log"
want=$(sha "$dir/crash/syslog.2026-12-09.log")
start_daemon "$dir/crash" || exit 1
wait_for '[ -e "$dir/crash/syslog.2026-12-09.log.gz.part" ] || [ -e "$dir/crash/syslog.2026-12-09.log.gz" ]' 300 ||
    fail "no compression started"
kill -KILL "$PID"
wait "$PID" 2>/dev/null
if [ -e "$dir/crash/syslog.2026-12-09.log.gz" ]; then
    echo "note: compression was complete before the kill" >&2
    [ "$(gunzip_sha "$dir/crash/syslog.2026-12-09.log.gz")" = "$want" ] || fail "the complete .gz differs"
else
    [ "$(sha "$dir/crash/syslog.2026-12-09.log")" = "$want" ] || fail "the rotated file changed after the kill"
fi
start_daemon "$dir/crash" || exit 1
wait_for '[ ! -e "$dir/crash/syslog.2026-12-09.log" ] && [ -e "$dir/crash/syslog.2026-12-09.log.gz" ]' 600 ||
    fail "the next start did not finish the compression: $(ls "$dir/crash")"
stop_daemon || fail "marovindd ended with $? after SIGTERM"
[ "$(gunzip_sha "$dir/crash/syslog.2026-12-09.log.gz")" = "$want" ] || fail "the finished .gz differs"
[ -e "$dir/crash/syslog.2026-12-09.log.gz.part" ] && fail "a partial file was left"

# 3. The disk fills while compressing: a 2 MiB file system and 1.5 MiB that do not compress.
mkdir "$dir/small"
if mount -t tmpfs -o size=2m tmpfs "$dir/small"; then
    settings "$dir/small" "COMPRESS = true"
    head -c 1500000 /dev/urandom >"$dir/small/syslog.2026-12-09.log"
    want=$(sha "$dir/small/syslog.2026-12-09.log")
    start_daemon "$dir/small" || exit 1
    wait_for 'grep -q "Could not compress" "$dir/small/stderr.txt"' 300 || fail "the full disk was not reported"
    sleep 0.3
    stop_daemon || fail "marovindd ended with $? after SIGTERM"
    [ "$(grep -c "Could not compress" "$dir/small/stderr.txt")" -eq 1 ] ||
        fail "reported other than once: $(cat "$dir/small/stderr.txt")"
    [ "$(sha "$dir/small/syslog.2026-12-09.log")" = "$want" ] || fail "the rotated file changed on a full disk"
    [ -e "$dir/small/syslog.2026-12-09.log.gz.part" ] && fail "a partial file was left on the full disk"
    [ -e "$dir/small/syslog.2026-12-09.log.gz" ] && fail "a .gz appeared on the full disk"
    mount -o remount,size=8m "$dir/small"
    start_daemon "$dir/small" || exit 1
    wait_for '[ -e "$dir/small/syslog.2026-12-09.log.gz" ] && [ ! -e "$dir/small/syslog.2026-12-09.log" ]' 300 ||
        fail "not compressed once there was space: $(ls "$dir/small")"
    stop_daemon || fail "marovindd ended with $? after SIGTERM"
    [ "$(gunzip_sha "$dir/small/syslog.2026-12-09.log.gz")" = "$want" ] || fail "the .gz differs"
else
    echo "note: no tmpfs could be mounted; the full disk part was not run" >&2
fi

[ "$failures" -eq 0 ] || exit 1
echo "archive: size rotation into $rotated compressed files, every line once; kill and full disk recovered"
