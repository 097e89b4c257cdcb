#!/usr/bin/env bash
# Checks the built package and the files it installs with Debian's own tools:
# lintian, desktop-file-validate, appstreamcli, man, systemd-analyze.
# Usage: lint_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
debs=("$build"/marovind_*_amd64.deb)
[ -f "${debs[0]}" ] || { echo "no package in $build: run ./package" >&2; exit 1; }
for tool in lintian desktop-file-validate appstreamcli man systemd-analyze; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/install-deps)" >&2; exit 77; }
done
failed=0
check() { # a description, then the command; its output is shown only when it fails
    local what=$1 out
    shift
    if ! out=$("$@" 2>&1); then
        echo "FAILED: $what" >&2
        echo "$out" >&2
        failed=1
    else
        echo "ok: $what"
    fi
}

# Errors fail; warnings are shown and listed in the notes when they are left.
lintian_out=$(lintian --fail-on error "${debs[0]}" 2>&1 | grep -v 'root privileges' || true)
echo "$lintian_out"
check "lintian finds no error" lintian --fail-on error "${debs[0]}"
check "desktop entry" desktop-file-validate "$src"/res/io.github.marovind.Marovind.desktop
check "metainfo" appstreamcli validate --no-net "$src"/res/io.github.marovind.Marovind.metainfo.xml

man_clean() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l -E UTF-8 "$1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$warnings"; return 1; }
}
for page in "$src"/res/marovind.1 "$src"/res/marovindd.8; do
    check "manual page $(basename "$page") formats without warnings" man_clean "$page"
done

# systemd-analyze verifies res/marovindd.service itself (unit_file_marovindd); here the
# package must ship that same unit, its program where ExecStart names it.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "${debs[0]}" "$root"
check "packaged unit is res/marovindd.service" \
    cmp "$root"/usr/lib/systemd/system/marovindd.service "$src"/res/marovindd.service
check "ExecStart program is in the package" test -x "$root"/usr/sbin/marovindd
exit "$failed"
