#!/usr/bin/env bash
# Forwarding end to end, in a private network namespace, with Debian's rsyslog as the central
# collector (imtcp, imudp, and imtcp over TLS with its ossl driver), started here with its own
# configuration; its template writes out the fields it parsed for the checks.
#   - 100,000 messages over TCP in rfc5424 form arrive once each, in order, with their fields;
#   - the collector stopped (SIGTERM, then SIGKILL) for 10 s in the middle of 200,000 messages
#     at 10,000/s and started again: nothing twice, in order, and what was lost counted;
#   - marovindd stopped and started while the collector is down: the disk queue is resent;
#   - the disk queue's bound: the oldest dropped, the count on standard error;
#   - a UDP target, then TLS targets added by SIGHUP (a CA, a pinned fingerprint, and a host
#     name the certificate does not name, refused); lines not understood reported and kept.
#   daemon_forward.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$daemon"
for tool in openssl rsyslogd; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
if ! ls /usr/lib/*/rsyslog/lmnsd_ossl.so >/dev/null 2>&1; then
    echo "skipped: rsyslog's ossl driver (rsyslog-openssl) is not installed" >&2
    exit 77
fi
export LC_ALL=C

e2e_begin_test
COLLECTOR=7601
COLLECTOR_UDP=7602
COLLECTOR_TLS=7603
FIELDS='%pri%|%timereported:::date-rfc3339%|%hostname%|%app-name%|%procid%|%msgid%|%msg%\n'

# collector NAME KIND: rsyslogd receiving over KIND (tcp, udp or tls) into $dir/NAME/out.txt,
# which each start appends to. Sets COLLECTOR_PID.
collector() {
    local name=$1 kind=$2 c=$dir/collector-$1 global="" input
    mkdir -p "$c/work"
    case $kind in
    tcp) input="module(load=\"imtcp\") input(type=\"imtcp\" address=\"127.0.0.1\" port=\"$COLLECTOR\" ruleset=\"r\")" ;;
    udp) input="module(load=\"imudp\") input(type=\"imudp\" address=\"127.0.0.1\" port=\"$COLLECTOR_UDP\" ruleset=\"r\")" ;;
    tls)
        global="defaultNetstreamDriver=\"ossl\" defaultNetstreamDriverCAFile=\"$certs/ca.pem\" defaultNetstreamDriverCertFile=\"$certs/collector.pem\" defaultNetstreamDriverKeyFile=\"$certs/collector.key\""
        input="module(load=\"imtcp\" StreamDriver.Name=\"ossl\" StreamDriver.Mode=\"1\" StreamDriver.AuthMode=\"anon\") input(type=\"imtcp\" port=\"$COLLECTOR_TLS\" ruleset=\"r\")"
        ;;
    esac
    cat >"$c/rsyslog.conf" <<CONF
global(workDirectory="$c/work" $global)
# One worker: with more, rsyslog itself may write a burst out of order.
main_queue(queue.workerThreads="1" queue.timeoutShutdown="5000")
$input
template(name="fields" type="string" string="$FIELDS")
ruleset(name="r") { action(type="omfile" file="$c/out.txt" template="fields") }
CONF
    rsyslogd -n -f "$c/rsyslog.conf" -i "$c/pid" >>"$c/rsyslog.txt" 2>&1 &
    COLLECTOR_PID=$!
    pids+=("$COLLECTOR_PID")
    local port
    for _ in $(seq 100); do
        case $kind in
        tcp) e2e_tcp_bound "$COLLECTOR" && return 0 ;;
        udp) e2e_udp_bound "$COLLECTOR_UDP" && return 0 ;;
        tls) e2e_tcp_bound "$COLLECTOR_TLS" && return 0 ;;
        esac
        sleep 0.05
    done
    fail "collector $name did not start: $(cat "$c/rsyslog.txt")"
}

stop_collector() { # signal
    kill "-$1" "$COLLECTOR_PID" 2>/dev/null
    e2e_wait_exit "$COLLECTOR_PID" 20 >/dev/null
}

# marovindd RUN: started in program directory RUN, standard error appended to RUN/stderr.txt.
marovindd() {
    (cd / && exec "$daemon" --dir "$1" 2>>"$1/stderr.txt") &
    MAROVIND_PID=$!
    pids+=("$MAROVIND_PID")
    for _ in $(seq 100); do
        e2e_udp_bound 514 && return 0
        sleep 0.05
    done
    fail "marovindd did not start: $(cat "$1/stderr.txt")"
}

stop_marovindd() {
    kill -TERM "$MAROVIND_PID"
    e2e_wait_exit "$MAROVIND_PID" 30 || fail "marovindd did not end cleanly"
}

# program RUN TARGET-LINES...: a program directory whose settings forward to the targets.
program() {
    local run=$1
    shift
    mkdir -p "$run"
    e2e_write_settings "$run" 0 "$run/" false
    printf '[Forward]\r\n' >>"$run/Marovind.ini"
    for line in "$@"; do printf 'TARGET = %s\r\n' "$line" >>"$run/Marovind.ini"; done
}

seqs() { grep -o 'seq=[0-9]*' "$1" 2>/dev/null | cut -d= -f2; }

# wait_for FILE COUNT [SECONDS] [SLACK]: until FILE holds COUNT sequence numbers, or at least
# COUNT - SLACK and no more for 3 s, or time is up.
wait_for() {
    local got last=-1 still=0
    for _ in $(seq $((${3:-60} * 10))); do
        got=$(seqs "$1" | wc -l)
        [ "$got" -ge "$2" ] && return 0
        if [ "$got" -eq "$last" ]; then still=$((still + 1)); else still=0; fi
        last=$got
        [ "$got" -ge "$(($2 - ${4:-0}))" ] && [ "$still" -ge 30 ] && return 0
        sleep 0.1
    done
    return 1
}

# compare NAME LOGGED RECEIVED: sets MISSING; fails on a number received twice, out of
# order, or never logged.
compare() {
    local name=$1
    seqs "$2" >"$dir/sent.txt"
    seqs "$3" >"$dir/got.txt"
    local twice disorder extra
    twice=$(sort "$dir/got.txt" | uniq -d | wc -l)
    # In order: each one received was logged after the one received before it.
    disorder=$(awk 'NR == FNR { at[$1] = FNR; next }
        ($1 in at) { if (at[$1] <= last) n++; last = at[$1] } END { print n + 0 }' \
        "$dir/sent.txt" "$dir/got.txt")
    MISSING=$(comm -23 <(sort -u "$dir/sent.txt") <(sort -u "$dir/got.txt") | wc -l)
    extra=$(comm -13 <(sort -u "$dir/sent.txt") <(sort -u "$dir/got.txt") | wc -l)
    [ "$twice" -eq 0 ] || fail "$name: $twice messages arrived twice"
    [ "$disorder" -eq 0 ] || fail "$name: $disorder messages out of order"
    [ -z "${FORWARD_E2E_KEEP:-}" ] || cp "$dir/sent.txt" "$dir/got.txt" "$FORWARD_E2E_KEEP/"
    [ "$extra" -eq 0 ] || fail "$name: $extra messages arrived that were never logged"
    echo "$name: $(wc -l <"$dir/sent.txt") logged, $(wc -l <"$dir/got.txt") forwarded, $MISSING lost" >&2
}

# --- 100,000 over TCP in rfc5424 form ---------------------------------------------------------
echo "== 100,000 messages over TCP" >&2
run=$dir/bulk
program "$run" "tcp://127.0.0.1:$COLLECTOR format=rfc5424 min-severity=debug"
collector bulk tcp
marovindd "$run"
printf '<165>1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog 77 ID47 [ex@32473 iut="3"] seq=900001 an event' >/dev/udp/127.0.0.1/514
printf '<13>Oct 11 22:14:15 web-3 sshd[42]: seq=900002 accepted' >/dev/udp/127.0.0.1/514
"$LOADGEN" --count 100000 --rate 50000 >/dev/null
logged=$(seqs "$run/syslog.log" | wc -l)
wait_for "$dir/collector-bulk/out.txt" "$logged" 60 || fail "bulk: not everything arrived"
stop_marovindd
stop_collector TERM
compare bulk "$run/syslog.log" "$dir/collector-bulk/out.txt"
[ "$MISSING" -eq 0 ] || fail "bulk: $MISSING messages lost"
out=$dir/collector-bulk/out.txt
grep -qxF '165|2003-10-11T22:14:15.003Z|mymachine.example.com|evntslog|77|ID47|seq=900001 an event' "$out" ||
    fail "bulk: the RFC 5424 message's fields: $(grep 900001 "$out")"
grep -qE '^13\|[0-9T:-]+(Z|\+00:00)\|web-3\|sshd\|42\|-\|seq=900002 accepted$' "$out" ||
    fail "bulk: the BSD message's fields: $(grep 900002 "$out")"
plain=$(grep -c '^13|[0-9T:-]*\(Z\|+00:00\)|127\.0\.0\.1|-|-|-|loadgen seq=' "$out")
[ "$plain" -eq "$((logged - 2))" ] || fail "bulk: $plain of $((logged - 2)) loadgen messages with the sender as host"

# --- the collector away for 10 s in the middle of 200,000 at 10,000/s ----------------------------
outage() { # signal
    local signal=$1 run=$dir/outage-$1
    echo "== the collector stopped with SIG$signal for 10 s" >&2
    program "$run" "tcp://127.0.0.1:$COLLECTOR"
    collector "outage-$signal" tcp
    marovindd "$run"
    "$LOADGEN" --count 200000 --rate 10000 >/dev/null &
    local sender=$!
    sleep 5
    stop_collector "$signal"
    sleep 10
    collector "outage-$signal" tcp
    wait "$sender"
    local logged
    logged=$(seqs "$run/syslog.log" | wc -l)
    wait_for "$dir/collector-outage-$signal/out.txt" "$logged" 90 5000 ||
        fail "outage-$signal: the queue was not resent"
    stop_marovindd
    stop_collector TERM
    compare "outage-$signal" "$run/syslog.log" "$dir/collector-outage-$signal/out.txt"
    grep -q "connection lost, retrying" "$run/stderr.txt" || fail "outage-$signal: no word of the lost connection"
    grep -q "connected again" "$run/stderr.txt" || fail "outage-$signal: no word of the new connection"
}
outage TERM
[ "$MISSING" -le 1000 ] || fail "outage-TERM: $MISSING lost beyond what sat in the collector's socket"
outage KILL

# --- marovindd restarted while the collector is down ---------------------------------------------
echo "== marovindd restarted while the collector is down" >&2
run=$dir/restart
program "$run" "tcp://127.0.0.1:$COLLECTOR"
marovindd "$run"
"$LOADGEN" --count 5000 --rate 20000 >/dev/null
sleep 0.5
stop_marovindd
ls "$run/forward/tcp_127.0.0.1_$COLLECTOR/"*.seg >/dev/null 2>&1 || fail "restart: no disk queue segment"
grep -qE '^Forward: [1-9][0-9]* queued, 0 dropped$' "$run/stderr.txt" || fail "restart: no queued count at exit: $(cat "$run/stderr.txt")"
collector restart tcp
marovindd "$run"
wait_for "$dir/collector-restart/out.txt" 5000 30 || fail "restart: the queue was not resent"
stop_marovindd
stop_collector TERM
compare restart "$run/syslog.log" "$dir/collector-restart/out.txt"
[ "$MISSING" -eq 0 ] || fail "restart: $MISSING lost"

# --- the disk queue's bound ----------------------------------------------------------------------
echo "== the disk queue's bound" >&2
run=$dir/bound
program "$run" "tcp://127.0.0.1:$COLLECTOR queue-mb=1"
marovindd "$run"
"$LOADGEN" --count 30000 --rate 20000 >/dev/null
sleep 0.5
stop_marovindd
message="Forward tcp://127.0.0.1:$COLLECTOR: the disk queue is full (1 MB): the oldest queued messages are dropped"
[ "$(e2e_stderr_count "$run" "$message")" -eq 1 ] || fail "bound: not told once: $(cat "$run/stderr.txt")"
dropped=$(sed -n 's/^Forward: [0-9]* queued, \([0-9]*\) dropped$/\1/p' "$run/stderr.txt")
[ "${dropped:-0}" -gt 0 ] || fail "bound: no dropped count: $(cat "$run/stderr.txt")"
collector bound tcp
marovindd "$run"
logged=$(seqs "$run/syslog.log" | wc -l)
wait_for "$dir/collector-bound/out.txt" "$((logged - ${dropped:-0}))" 30 || fail "bound: the rest was not resent"
stop_marovindd
stop_collector TERM
compare bound "$run/syslog.log" "$dir/collector-bound/out.txt"
[ "$MISSING" -eq "${dropped:-0}" ] || fail "bound: $MISSING lost, $dropped counted"
first=$(head -1 "$dir/got.txt")
[ "$((10#$first))" -eq "${dropped:-0}" ] || fail "bound: the first resent is $first, not the oldest kept"

# --- UDP, then TLS targets by SIGHUP; lines not understood --------------------------------------
echo "== UDP and TLS targets" >&2
certs=$dir/certs
mkdir "$certs"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 -subj "/CN=ca" \
    -keyout "$certs/ca.key" -out "$certs/ca.pem" 2>/dev/null
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=collector" \
    -keyout "$certs/collector.key" -out "$certs/collector.csr" 2>/dev/null
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$certs/ext"
openssl x509 -req -in "$certs/collector.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
    -CAcreateserial -days 30 -extfile "$certs/ext" -out "$certs/collector.pem" 2>/dev/null
fp=$(openssl x509 -in "$certs/collector.pem" -noout -fingerprint -sha256 | sed 's/^.*=/SHA256:/')
run=$dir/secure
program "$run" "udp://127.0.0.1:$COLLECTOR_UDP format=rfc5424" "tcp://nowhere" "tcp://127.0.0.1:1 colour=red"
cp "$run/Marovind.ini" "$dir/udp-only.ini"
collector udp udp
udp_collector=$COLLECTOR_PID
collector tls tls
marovindd "$run"
"$LOADGEN" --count 1000 --rate 2000 --start 0 >/dev/null
wait_for "$dir/collector-udp/out.txt" 1000 20 || fail "udp: $(seqs "$dir/collector-udp/out.txt" | wc -l) of 1000 arrived"
for line in 'tcp://nowhere is not understood (no port (1 to 65535) in "nowhere")' \
    'tcp://127.0.0.1:1 colour=red is not understood (option "colour=red" not understood)'; do
    [ "$(e2e_stderr_count "$run" "Forward: TARGET = $line; the line is kept and not used.")" -eq 1 ] ||
        fail "bad line not reported once: $line: $(cat "$run/stderr.txt")"
done
cmp -s "$run/Marovind.ini" "$dir/udp-only.ini" || fail "the settings file was changed"
printf 'TARGET = tls://127.0.0.1:%s ca=%s\r\nTARGET = tls://localhost:%s fingerprint=%s\r\nTARGET = tls://127.0.0.2:%s ca=%s\r\n' \
    "$COLLECTOR_TLS" "$certs/ca.pem" "$COLLECTOR_TLS" "$fp" "$COLLECTOR_TLS" "$certs/ca.pem" >>"$run/Marovind.ini"
cp "$run/Marovind.ini" "$dir/all.ini"
kill -HUP "$MAROVIND_PID"
sleep 1
"$LOADGEN" --count 1000 --rate 2000 --start 1000 >/dev/null
wait_for "$dir/collector-tls/out.txt" 2000 30 || fail "tls: $(seqs "$dir/collector-tls/out.txt" | wc -l) of 2000 arrived"
wait_for "$dir/collector-udp/out.txt" 2000 20 || fail "udp after SIGHUP: $(seqs "$dir/collector-udp/out.txt" | wc -l) of 2000 arrived"
stop_marovindd
[ "$(seqs "$dir/collector-tls/out.txt" | sort | uniq -c | awk '$1 != 2' | wc -l)" -eq 0 ] ||
    fail "tls: not every message came once over each of the two trusted targets"
[ "$(seqs "$dir/collector-tls/out.txt" | sort -u | head -1)" = 001000 ] || fail "tls: messages from before SIGHUP"
grep -q "^Forward tls://127.0.0.2:$COLLECTOR_TLS: cannot connect, retrying (TLS handshake: certificate verify failed" "$run/stderr.txt" ||
    fail "tls: a collector whose certificate does not name it was not refused: $(cat "$run/stderr.txt")"
cmp -s "$run/Marovind.ini" "$dir/all.ini" || fail "the settings file was changed after SIGHUP"
kill -TERM "$udp_collector" "$COLLECTOR_PID"

[ "$failures" -eq 0 ] || exit 1
echo "daemon_forward: all passed" >&2
