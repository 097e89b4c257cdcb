#!/usr/bin/env bash
# Broken settings files at start-up: ipaddr.flt or Marovind.ini replaced by a directory,
# Marovind.ini read-only. Each is read as what it can give (nothing), silently as the
# settings file and the address list are read, and the server runs and logs by what it
# read, without a crash.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n -m" "$0" "$@"
e2e_find_tools "$program"

dir=$(mktemp -d)
cleanup() {
    kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true
    umount -l "$dir/ini-read-only/Marovind.ini" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Each case: name, how the program directory is prepared, the file that must hold all 50
# lines ("none": no line may be written anywhere).
prepare_filter_dir() {
    e2e_write_settings "$1" 0 "$1/" true
    mkdir "$1/ipaddr.flt"
}
prepare_by_address_dir() {
    e2e_write_settings "$1" 3 "$1/" false
    mkdir "$1/ipaddr.flt"
}
prepare_ini_dir() { mkdir "$1/Marovind.ini"; }
prepare_ini_read_only() {
    printf '[Marovind]\r\nLOG_TYPE = 1\r\nLOG_DIR = %s/\r\n' "$1" >"$1/Marovind.ini"
    cp "$1/Marovind.ini" "$1/Marovind.ini.orig"
    mount --bind "$1/Marovind.ini" "$1/Marovind.ini" &&
        mount -o remount,bind,ro "$1/Marovind.ini" || {
        echo "skipped: cannot make a file read-only with a bind mount" >&2
        exit 77
    }
}
cases=(
    "filter-dir prepare_filter_dir none"
    "by-address-dir prepare_by_address_dir none"
    "ini-dir prepare_ini_dir syslog.log"
    "ini-read-only prepare_ini_read_only notice.log"
)

for c in "${cases[@]}"; do
    read -r name prepare expected <<<"$c"
    run=$dir/$name
    mkdir -p "$run"
    "$prepare" "$run"
    if ! e2e_start_program "$program" "$run"; then
        fail "$name: did not start"
        continue
    fi
    "$LOADGEN" --count 50 --rate 5000 >/dev/null
    sleep 0.5
    if [ "$expected" != none ]; then
        e2e_wait_stable "$run/$expected" 0.3 20 || true
        "$LOGCHECK" --count 50 "$run/$expected" >/dev/null ||
            fail "$name: $expected: $("$LOGCHECK" --count 50 "$run/$expected" 2>&1)"
    fi
    written=$(find "$run" -maxdepth 1 -name '*.log' -exec cat {} + | wc -l)
    want=0
    [ "$expected" != none ] && want=50
    [ "$written" -eq "$want" ] || fail "$name: $written lines logged in all, expected $want"
    kill -0 "$MAROVIND_PID" 2>/dev/null || fail "$name: the program ended: $(cat "$run/stderr.txt")"
    if grep -q '^Marovind: ' "$run/stderr.txt"; then
        fail "$name: unexpected message: $(grep '^Marovind: ' "$run/stderr.txt")"
    fi
    e2e_stop_program || fail "$name: exit status $? after SIGTERM"
done

[ -d "$dir/ini-dir/Marovind.ini" ] || fail "ini-dir: the directory in place of Marovind.ini was replaced"
cmp -s "$dir/ini-read-only/Marovind.ini" "$dir/ini-read-only/Marovind.ini.orig" ||
    fail "ini-read-only: the read-only settings file changed"
[ "$failures" -eq 0 ] || exit 1
echo "settings faults: ${#cases[@]} cases ran without a crash"
