#!/usr/bin/env bash
# marovindd --create-certificate, checked with the openssl command: the pair loads and
# matches, the key is mode 0600, the fingerprint printed is the certificate's; existing files
# are refused without --force and replaced with it. Sends nothing over any network.
#   daemon_create_certificate.sh path/to/marovindd
set -uo pipefail
daemon=$(realpath "$1")
command -v openssl >/dev/null || { echo "skipped: openssl is not installed" >&2; exit 77; }
export LC_ALL=C
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
cert=$dir/marovind-cert.pem
key=$dir/marovind-key.pem

# Runs the command in $dir; its output into $dir/out, errors into $dir/err; sets STATUS.
create() {
    (cd / && umask 022 && exec "$daemon" --dir "$dir" --create-certificate "$@") \
        >"$dir/out" 2>"$dir/err"
    STATUS=$?
}
printed_fingerprint() { sed -n 's/^Certificate fingerprint: //p' "$dir/out"; }
# openssl prints "sha256 Fingerprint=AB:..." (older versions "SHA256 Fingerprint=").
file_fingerprint() { openssl x509 -in "$cert" -noout -fingerprint -sha256 | sed 's/^[^=]*=/SHA256:/'; }

check_pair() {
    local what=$1
    openssl x509 -in "$cert" -noout 2>/dev/null || fail "$what: certificate does not load"
    openssl pkey -in "$key" -noout 2>/dev/null || fail "$what: key does not load"
    [ "$(openssl x509 -in "$cert" -noout -pubkey)" = "$(openssl pkey -in "$key" -pubout)" ] ||
        fail "$what: key and certificate do not match"
    [ "$(stat -c %a "$key")" = 600 ] || fail "$what: key mode $(stat -c %a "$key")"
    [ "$(printed_fingerprint)" = "$(file_fingerprint)" ] ||
        fail "$what: printed $(printed_fingerprint), file has $(file_fingerprint)"
    grep -qxF "Certificate: $cert" "$dir/out" && grep -qxF "Private key: $key" "$dir/out" ||
        fail "$what: paths not printed: $(cat "$dir/out")"
    openssl x509 -in "$cert" -noout -ext subjectAltName | grep -q "DNS:$(hostname)" ||
        fail "$what: host name not in subjectAltName"
}

create
[ "$STATUS" = 0 ] || fail "first run: status $STATUS: $(cat "$dir/err")"
check_pair "first run"
first=$(file_fingerprint)
sha256sum "$cert" "$key" >"$dir/sums"

create
[ "$STATUS" = 1 ] || fail "existing files: status $STATUS"
grep -q "exists already.*--force" "$dir/err" || fail "no clear refusal: $(cat "$dir/err")"
sha256sum --quiet -c "$dir/sums" || fail "existing files changed without --force"

chmod 644 "$key"
create --force
[ "$STATUS" = 0 ] || fail "--force: status $STATUS: $(cat "$dir/err")"
check_pair "--force"
[ "$(file_fingerprint)" != "$first" ] || fail "--force kept the old certificate"

"$daemon" --force >/dev/null 2>"$dir/err"
[ $? = 2 ] && grep -q "usage: marovindd" "$dir/err" || fail "--force alone: $(cat "$dir/err")"

[ "$failures" = 0 ] && echo "daemon_create_certificate: all passed"
exit $((failures > 0))
