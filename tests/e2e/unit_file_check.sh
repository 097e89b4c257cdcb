#!/usr/bin/env bash
# systemd-analyze verify on res/marovindd.service, with ExecStart pointed at the built
# program (the installed path need not exist here). Exits 77 where systemd-analyze is
# missing or cannot run (no systemd in a container).
#   unit_file_check.sh path/to/marovindd path/to/marovindd.service
set -uo pipefail
program=$(realpath "$1")
unit=$2
if ! command -v systemd-analyze >/dev/null; then
    echo "skipped: systemd-analyze is not installed" >&2
    exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
grep -q '^ExecStart=/usr/sbin/marovindd ' "$unit" || { echo "FAIL: ExecStart is not /usr/sbin/marovindd" >&2; exit 1; }
sed "s#^ExecStart=/usr/sbin/marovindd #ExecStart=$program #" "$unit" >"$dir/marovindd.service"
if ! systemd-analyze --version >/dev/null 2>&1; then
    echo "skipped: systemd-analyze cannot run here" >&2
    exit 77
fi
if ! out=$(systemd-analyze verify --man=no "$dir/marovindd.service" 2>&1) || [ -n "$out" ]; then
    echo "FAIL: systemd-analyze verify: $out" >&2
    exit 1
fi
for forbidden in 'Alias=syslog.service' 'syslog.socket' 'DynamicUser=yes'; do
    grep -qF "$forbidden" "$unit" && { echo "FAIL: the unit holds $forbidden" >&2; exit 1; }
done
echo "unit_file: systemd-analyze verify found nothing"
