#!/usr/bin/env bash
# TLS reception (RFC 5425) end to end, in a private network namespace, against marovindd and
# the window program, with senders we did not write: Debian's rsyslog (omfwd with the ossl
# driver), openssl s_client and Python's ssl module. Certificates are made here, by openssl.
#   - a self-signed certificate named by relative paths, pinned by its fingerprint (rsyslog
#     x509/fingerprint), the start-up rows naming the port and the fingerprint;
#   - LF and octet-counted framing, TLS 1.1 refused, plain text on the TLS port refused, a
#     stalled handshake closed after 10 s without holding up a second sender or UDP;
#   - a CA-signed certificate with mutual authentication: rsyslog and Python with a client
#     certificate accepted; none, an expired one and one of another CA refused;
#   - marovindd: refusals on standard error at most once a minute, a renewed certificate
#     taken after SIGHUP while a connection opened before goes on, a certificate expiring
#     within 30 days reported at start-up and after SIGHUP, --tls-port over TLS_PORT;
#   - a missing key file: one message naming it, TLS off, UDP and TCP going on.
#   daemon_tls.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
window=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
for tool in openssl python3 rsyslogd logger; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
if [ ! -e /usr/lib/x86_64-linux-gnu/rsyslog/lmnsd_ossl.so ] &&
    ! ls /usr/lib/*/rsyslog/lmnsd_ossl.so >/dev/null 2>&1; then
    echo "skipped: rsyslog's ossl driver (rsyslog-openssl) is not installed" >&2
    exit 77
fi
export LC_ALL=C
TLSCLIENT=$here/tls_client.py
export PYTHONWARNINGS=ignore::DeprecationWarning # TLS 1.1 is asked for on purpose

e2e_begin_test
TLS=6514
TCP=6601
INJECT=10514 # where rsyslog takes the messages it forwards


# --- certificates, made now -------------------------------------------------------------
certs=$dir/certs
mkdir "$certs"
# ca NAME: a certificate authority.
make_ca() {
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 \
        -subj "/CN=$1" -keyout "$certs/$1.key" -out "$certs/$1.pem" 2>/dev/null
}
# leaf NAME CA DAYS [ext]: a certificate for NAME signed by CA (DAYS may be -1: expired).
make_leaf() {
    local name=$1 ca=$2 days=$3
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$name" \
        -keyout "$certs/$name.key" -out "$certs/$name.csr" 2>/dev/null
    printf 'subjectAltName=DNS:%s,IP:127.0.0.1\n' "$name" >"$certs/$name.ext"
    openssl x509 -req -in "$certs/$name.csr" -CA "$certs/$ca.pem" -CAkey "$certs/$ca.key" \
        -CAcreateserial -days "$days" -extfile "$certs/$name.ext" -out "$certs/$name.pem" 2>/dev/null
}
# self-signed NAME DAYS
make_self_signed() {
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days "$2" \
        -subj "/CN=$1" -addext "subjectAltName=DNS:$1,IP:127.0.0.1" \
        -keyout "$certs/$1.key" -out "$certs/$1.pem" 2>/dev/null
}
fingerprint_of() {
    openssl x509 -in "$1" -noout -fingerprint -sha256 | sed 's/^.*=/SHA256:/'
}
make_self_signed selfsigned 400
make_self_signed renewed 400
make_self_signed expiring 10
make_ca serverca
make_ca clientca
make_ca otherca
make_leaf server serverca 400
make_leaf goodclient clientca 400
make_leaf expiredclient clientca -1
make_leaf strangerclient otherca 400
for f in selfsigned renewed expiring server goodclient expiredclient strangerclient; do
    [ -s "$certs/$f.pem" ] || { echo "could not make the test certificate $f" >&2; exit 1; }
done

# --- the programs -----------------------------------------------------------------------
# settings RUN CERT KEY [CLIENT_CA]: single log file, TLS with files beside the program.
settings() {
    local run=$1
    e2e_write_settings "$run" 0 "$run/" false
    cp "$certs/$2.pem" "$run/server-cert.pem"
    [ "$3" = none ] || cp "$certs/$3.key" "$run/server-key.pem"
    printf 'TCP_PORT = %s\r\nTLS_PORT = %s\r\nTLS_CERT = server-cert.pem\r\nTLS_KEY = server-key.pem\r\n' \
        "$TCP" "$TLS" >>"$run/Marovind.ini"
    [ -z "${4:-}" ] || printf 'TLS_CLIENT_CA = %s\r\n' "$certs/$4.pem" >>"$run/Marovind.ini"
}

wait_ports() {
    for _ in $(seq 100); do
        e2e_udp_bound 514 && e2e_tcp_bound "$TCP" && e2e_tcp_bound "$TLS" && return 0
        kill -0 "$MAROVIND_PID" 2>/dev/null || break
        sleep 0.05
    done
    fail "$1: UDP 514, TCP $TCP and TLS $TLS not bound: $(cat "$1/stderr.txt")"
    return 1
}

# start KIND RUN [options]: marovindd (daemon) or the window program (window).
start() {
    local kind=$1 run=$2
    shift 2
    if [ "$kind" = daemon ]; then
        (cd / && exec "$daemon" --dir "$run" "$@" 2>"$run/stderr.txt") &
        MAROVIND_PID=$!
    else
        e2e_start_program "$window" "$run" || { fail "$run: the window program did not start"; return 1; }
    fi
    pids+=("$MAROVIND_PID")
    wait_ports "$run"
}

stop() {
    local status=0
    kill -TERM "$MAROVIND_PID"
    e2e_wait_exit "$MAROVIND_PID" 20 || status=$?
    [ "$status" -eq 0 ] || fail "$1: SIGTERM gave status $status"
}

# Lines the program wrote on standard error: marovindd's as they are, the window program's
# message boxes after "Marovind: ".
stderr_lines() { sed 's/^Marovind: //' "$1/stderr.txt"; }

settle() { e2e_wait_stable "$1" 0.3 20; }

has_line() { # file, text
    grep -qE "^[A-Z][a-z]{2} [0-9]{2} [0-9:]{8} 127\.0\.0\.1 .*$2"$'\r''$' "$1" ||
        fail "$1: no line with '$2': $(tail -12 "$1" | cat -A)"
}
has_no_line() { # file, text
    ! grep -q "$2" "$1" 2>/dev/null || fail "$1: a line with '$2' was logged"
}

# Waits up to 10 s for text $2 in the log of run $1.
wait_logged() {
    for _ in $(seq 200); do
        grep -q "$2" "$1/syslog.log" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

# rsyslog_send RUN NAME MESSAGE GLOBAL ACTION: rsyslogd forwards MESSAGE over TLS with
# omfwd; GLOBAL and ACTION are more parameters of its global() and of the action.
rsyslog_send() {
    local run=$1 name=$2 message=$3 global=$4 action=$5
    local rs=$dir/rsyslog-$name
    mkdir -p "$rs/work"
    cat >"$rs/rsyslog.conf" <<EOF
global(workDirectory="$rs/work" defaultNetstreamDriver="ossl" $global)
module(load="imudp")
input(type="imudp" address="127.0.0.1" port="$INJECT")
action(type="omfwd" target="127.0.0.1" port="$TLS" protocol="tcp" StreamDriver="ossl"
       StreamDriverMode="1" $action)
EOF
    rsyslogd -n -f "$rs/rsyslog.conf" -i "$rs/pid" >"$rs/out.txt" 2>&1 &
    local rspid=$!
    for _ in $(seq 100); do e2e_udp_bound "$INJECT" && break; sleep 0.05; done
    logger --udp -n 127.0.0.1 -P "$INJECT" --rfc3164 -t e2e "$message"
    wait_logged "$run" "$message"
    local logged=$?
    kill -TERM "$rspid" 2>/dev/null
    e2e_wait_exit "$rspid" 10 >/dev/null
    [ "$logged" -eq 0 ] || echo "rsyslog $name: $(cat "$rs/out.txt")" >&2
    return "$logged"
}

s_client_send() { # message [s_client options]
    local message=$1
    shift
    (printf '%s\n' "$message"; sleep 0.5) |
        openssl s_client -connect "127.0.0.1:$TLS" -quiet -no_ign_eof "$@" >/dev/null 2>&1
}

# --- a self-signed certificate, no client certificates ----------------------------------
selfsigned_cases() {
    echo "== $1: a self-signed certificate" >&2
    local kind=$1 run=$dir/$1-selfsigned state
    mkdir "$run"
    settings "$run" selfsigned selfsigned
    start "$kind" "$run" || return
    local fp
    fp=$(fingerprint_of "$certs/selfsigned.pem")
    grep -qxF "Listening for syslog messages on TLS port: $TLS" "$run/stderr.txt" ||
        [ "$kind" = window ] || fail "$kind: no TLS port row: $(cat "$run/stderr.txt")"
    grep -qxF "TLS certificate fingerprint: $fp" "$run/stderr.txt" ||
        [ "$kind" = window ] || fail "$kind: no fingerprint row ($fp): $(cat "$run/stderr.txt")"
    [ "$(python3 "$TLSCLIENT" fingerprint "$TLS")" = "$fp" ] || fail "$kind: another certificate is served"

    # A stalled handshake, in the background while the other senders go on.
    python3 "$TLSCLIENT" stall "$TLS" 20 >"$run/stall.txt" &
    local staller=$!
    sleep 0.3
    local started=$SECONDS
    # rsyslog's ossl driver checks the chain before the fingerprint: the self-signed
    # certificate is its own CA there.
    rsyslog_send "$run" "$kind-pinned" "pinned by fingerprint" \
        "defaultNetstreamDriverCAFile=\"$certs/selfsigned.pem\"" "StreamDriverAuthMode=\"x509/fingerprint\" StreamDriverPermittedPeers=\"$fp\"" ||
        fail "$kind: rsyslog pinned by fingerprint was not logged"
    s_client_send "from s_client" || true
    wait_logged "$run" "from s_client" || fail "$kind: s_client's message was not logged"
    (( SECONDS - started < 6 )) || fail "$kind: the senders took $((SECONDS - started)) s beside a stalled handshake"
    printf '<13>udp during a stalled handshake' >/dev/udp/127.0.0.1/514
    state=$(python3 "$TLSCLIENT" send "$TLS" --octet "<13>octet counted one" "<13>octet counted two")
    [ "$state" = accepted ] || fail "$kind: octet counting: $state"
    state=$(python3 "$TLSCLIENT" send "$TLS" "<13>lf framed")
    [ "$state" = accepted ] || fail "$kind: LF framing: $state"
    state=$(python3 "$TLSCLIENT" send "$TLS" --max-version 1.1 "<13>over tls 1.1")
    [[ "$state" == refused* ]] || fail "$kind: TLS 1.1 was $state"
    for i in 1 2 3; do
        state=$(python3 "$TLSCLIENT" plain "$TLS" "<13>plain text $i"$'\n')
        [ "$state" = closed ] || fail "$kind: plain text on the TLS port left the connection $state"
    done
    settle "$run/syslog.log"
    local log=$run/syslog.log
    has_line "$log" 'pinned by fingerprint'
    has_line "$log" 'from s_client'
    has_line "$log" 'udp during a stalled handshake'
    has_line "$log" 'octet counted one'
    has_line "$log" 'octet counted two'
    has_line "$log" 'lf framed'
    has_no_line "$log" 'over tls 1.1'
    has_no_line "$log" 'plain text'
    wait "$staller"
    local closed
    closed=$(cat "$run/stall.txt")
    [[ "$closed" =~ ^(10|11|12|13)$ ]] || fail "$kind: a stalled handshake was closed after '$closed' s, want 10 to 13"
    [ "$(e2e_line_count "$log")" -eq 6 ] || fail "$log: want 6 lines: $(cat -A "$log")"

    if [ "$kind" = daemon ]; then
        # Refusals: counted, on standard error at most once a minute per kind.
        [ "$(grep -c '^TLS: 1 handshakes failed since the last report, 1 in all; the last: 127.0.0.1: ' "$run/stderr.txt")" -eq 1 ] ||
            fail "no report of the first failed handshake: $(cat "$run/stderr.txt")"
        [ "$(grep -c 'handshakes failed' "$run/stderr.txt")" -eq 1 ] ||
            fail "failed handshakes reported more than once a minute: $(cat "$run/stderr.txt")"
        grep -q '^TLS: 1 handshakes not finished within 10 seconds since the last report' "$run/stderr.txt" ||
            fail "the stalled handshake was not reported: $(cat "$run/stderr.txt")"
        renewal_case "$run"
    fi
    grep -q "Marovind: \|Couldn't" "$run/stderr.txt" && fail "$kind: a message was shown: $(cat "$run/stderr.txt")"
    stop "$kind self-signed"
}

# SIGHUP: the renewed certificate is served to the next sender, while a connection opened
# before goes on with its messages.
renewal_case() {
    local run=$1
    rm -f "$dir/go"
    python3 "$TLSCLIENT" send "$TLS" --wait-file "$dir/go" "<13>before the renewal" \
        "<13>after the renewal on the old connection" >"$run/held.txt" &
    local held=$!
    wait_logged "$run" "before the renewal" || fail "renewal: the first message was not logged"
    cp "$certs/renewed.pem" "$run/server-cert.pem"
    cp "$certs/renewed.key" "$run/server-key.pem"
    kill -HUP "$MAROVIND_PID"
    local want got
    want=$(fingerprint_of "$certs/renewed.pem")
    for _ in $(seq 50); do
        got=$(python3 "$TLSCLIENT" fingerprint "$TLS")
        [ "$got" = "$want" ] && break
        sleep 0.1
    done
    [ "$got" = "$want" ] || fail "renewal: after SIGHUP the server shows $got, want $want"
    touch "$dir/go"
    wait "$held"
    [ "$(cat "$run/held.txt")" = accepted ] || fail "renewal: the old connection: $(cat "$run/held.txt")"
    wait_logged "$run" "after the renewal on the old connection" ||
        fail "renewal: the connection opened before SIGHUP was dropped"
    rsyslog_send "$run" renewed "pinned to the renewed certificate" \
        "defaultNetstreamDriverCAFile=\"$certs/renewed.pem\"" "StreamDriverAuthMode=\"x509/fingerprint\" StreamDriverPermittedPeers=\"$want\"" ||
        fail "renewal: rsyslog pinned to the renewed certificate was not logged"
}

# --- a CA-signed certificate, mutual authentication -------------------------------------
mutual_cases() {
    echo "== $1: mutual authentication" >&2
    local kind=$1 run=$dir/$1-mutual state
    mkdir "$run"
    settings "$run" server server clientca
    start "$kind" "$run" || return
    rsyslog_send "$run" "$kind-mutual" "rsyslog with a client certificate" \
        "defaultNetstreamDriverCAFile=\"$certs/serverca.pem\" defaultNetstreamDriverCertFile=\"$certs/goodclient.pem\" defaultNetstreamDriverKeyFile=\"$certs/goodclient.key\"" \
        "StreamDriverAuthMode=\"x509/name\" StreamDriverPermittedPeers=\"server\"" ||
        fail "$kind: rsyslog with a client certificate, checking ours against our CA, was not logged"
    (printf '<13>s_client verified the server\n'; sleep 0.5) |
        openssl s_client -connect "127.0.0.1:$TLS" -quiet -no_ign_eof -verify_return_error \
            -CAfile "$certs/serverca.pem" -verify_ip 127.0.0.1 \
            -cert "$certs/goodclient.pem" -key "$certs/goodclient.key" >/dev/null 2>"$run/s_client.txt" ||
        fail "$kind: s_client did not verify the CA-signed certificate: $(cat "$run/s_client.txt")"
    state=$(python3 "$TLSCLIENT" send "$TLS" --ca "$certs/serverca.pem" \
        --cert "$certs/goodclient.pem" --key "$certs/goodclient.key" "<13>python with a good certificate")
    [ "$state" = accepted ] || fail "$kind: a good client certificate was $state"
    local client
    for client in none expiredclient strangerclient; do
        local options=()
        [ "$client" = none ] || options=(--cert "$certs/$client.pem" --key "$certs/$client.key")
        state=$(python3 "$TLSCLIENT" send "$TLS" "${options[@]}" "<13>python as $client")
        [[ "$state" == refused* ]] || fail "$kind: client certificate $client was $state"
    done
    settle "$run/syslog.log"
    has_line "$run/syslog.log" 'rsyslog with a client certificate'
    has_line "$run/syslog.log" 's_client verified the server'
    has_line "$run/syslog.log" 'python with a good certificate'
    has_no_line "$run/syslog.log" 'python as'
    if [ "$kind" = daemon ]; then
        grep -q "^TLS: 1 handshakes failed .*the last: 127.0.0.1: peer did not return a certificate" "$run/stderr.txt" ||
            fail "no report of the sender without a certificate: $(cat "$run/stderr.txt")"
    fi
    stop "$kind mutual"
}

# --- files that cannot be loaded, a certificate that ends soon --------------------------
missing_key_case() {
    echo "== $1: a missing key" >&2
    local kind=$1 run=$dir/$1-nokey
    mkdir "$run"
    settings "$run" selfsigned none
    if [ "$kind" = daemon ]; then
        (cd / && exec "$daemon" --dir "$run" 2>"$run/stderr.txt") &
        MAROVIND_PID=$!
    else
        e2e_start_program "$window" "$run" || { fail "$kind: did not start without a key"; return; }
    fi
    pids+=("$MAROVIND_PID")
    for _ in $(seq 100); do e2e_udp_bound 514 && e2e_tcp_bound "$TCP" && break; sleep 0.05; done
    sleep 0.3
    local want="Syslog: Couldn't load TLS key $run/server-key.pem: no such file; TLS reception is off."
    [ "$(stderr_lines "$run" | grep -cxF "$want")" -eq 1 ] ||
        fail "$kind: no single message for the missing key: $(cat "$run/stderr.txt")"
    e2e_tcp_bound "$TLS" && fail "$kind: TLS listens without a key"
    grep -q "TLS port" "$run/stderr.txt" && fail "$kind: a TLS row without TLS"
    printf '<13>udp without tls' >/dev/udp/127.0.0.1/514
    logger --tcp -n 127.0.0.1 -P "$TCP" --rfc3164 -t e2e "tcp without tls"
    settle "$run/syslog.log"
    has_line "$run/syslog.log" 'udp without tls'
    has_line "$run/syslog.log" 'tcp without tls'
    stop "$kind without a key"
}

expiring_case() {
    local run=$dir/expiring
    mkdir "$run"
    settings "$run" expiring expiring
    sed -i "s/^TLS_PORT = .*/TLS_PORT = 7000\r/" "$run/Marovind.ini"
    start daemon "$run" --tls-port "$TLS" || return
    local pattern="^Syslog: The TLS certificate $run/server-cert.pem expires on .* \(in (9|10) days\); senders that check it will refuse to connect after that\.$"
    [ "$(grep -cE "$pattern" "$run/stderr.txt")" -eq 1 ] ||
        fail "no single expiry warning at start-up: $(cat "$run/stderr.txt")"
    kill -HUP "$MAROVIND_PID"
    for _ in $(seq 50); do [ "$(grep -cE "$pattern" "$run/stderr.txt")" -eq 2 ] && break; sleep 0.1; done
    [ "$(grep -cE "$pattern" "$run/stderr.txt")" -eq 2 ] ||
        fail "no expiry warning after SIGHUP: $(cat "$run/stderr.txt")"
    e2e_tcp_bound 7000 && fail "--tls-port did not win over TLS_PORT"
    stop "daemon, expiring certificate"
}

for kind in daemon ${window:+window}; do
    selfsigned_cases "$kind"
    mutual_cases "$kind"
    missing_key_case "$kind"
done
expiring_case

[ "$failures" -eq 0 ] || exit 1
echo "daemon_tls: all checks passed"
