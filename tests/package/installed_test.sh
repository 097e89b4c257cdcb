#!/usr/bin/env bash
# The package as installed: unpacked into a scratch root and started as an unprivileged
# user with only the bind capability, it keeps its files in that user's data directory,
# logs a datagram there and writes nothing under the installed tree.
# Usage: installed_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/e2e_support.sh
source "$here/../e2e/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"

build=$1
debs=("$build"/marovind_*_amd64.deb)
[ -f "${debs[0]}" ] || { echo "no package in $build: run ./package" >&2; exit 1; }
user=nobody
group=$(id -gn "$user")
command -v setpriv >/dev/null && command -v logger >/dev/null ||
    { echo "skipped: setpriv or logger is missing" >&2; exit 77; }

scratch=$(mktemp -d)
trap 'kill -KILL "${MAROVIND_PID:-0}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
root=$scratch/root home=$scratch/home
dpkg-deb -x "${debs[0]}" "$root"
mkdir "$home"
chown "$user:$group" "$home"
tree_state() { find "$root" -printf '%p %s %m %T@\n' | sort; }
before=$(tree_state)

setpriv --reuid="$user" --regid="$group" --clear-groups \
    --inh-caps +net_bind_service --ambient-caps +net_bind_service \
    env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/marovind" >"$scratch/stdout.txt" 2>"$scratch/stderr.txt" &
MAROVIND_PID=$!
for ((i = 0; i < 300; i++)); do
    e2e_udp_bound 514 && break
    kill -0 "$MAROVIND_PID" 2>/dev/null || { echo "it ended:" >&2; cat "$scratch/stderr.txt" >&2; exit 1; }
    sleep 0.1
done
e2e_udp_bound 514 || { echo "it did not bind UDP 514" >&2; cat "$scratch/stderr.txt" >&2; exit 1; }

data=$home/.local/share/marovind/
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
[ -f "$data/Marovind.ini" ] || fail "no Marovind.ini in $data"
grep -qxF "LOG_DIR = $data"$'\r' "$data/Marovind.ini" 2>/dev/null ||
    fail "LOG_DIR does not name $data: $(cat "$data/Marovind.ini" 2>/dev/null)"

logger --udp --server 127.0.0.1 --port 514 "installed package says hello"
for ((i = 0; i < 100; i++)); do
    grep -q "installed package says hello" "$data/syslog.log" 2>/dev/null && break
    sleep 0.1
done
grep -q "installed package says hello" "$data/syslog.log" 2>/dev/null ||
    fail "the datagram is not in $data/syslog.log"

e2e_stop_program || fail "it did not end cleanly on SIGTERM"
[ "$(tree_state)" = "$before" ] || {
    fail "something was written under the installed tree:"
    diff <(echo "$before") <(tree_state) >&2 || true
}
[ "$failed" = 0 ] || cat "$scratch/stderr.txt" >&2
exit "$failed"
