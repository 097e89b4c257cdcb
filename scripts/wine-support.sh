# Sourced by the scripts that run the Windows programs under wine.

# A fresh 64-bit prefix in $1, exported as WINEPREFIX: no Mono or Gecko prompts, and
# Tahoma and Liberation Sans in its Fonts folder as a Windows desktop has its fonts (a bare
# prefix only finds what fontconfig offers).
new_wine_prefix() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot --init >/dev/null 2>&1
    wineserver -w
    cp /usr/share/wine/fonts/tahoma*.ttf /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf \
        "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# The first X display number from $1 on whose lock file no server sits.
free_x_display() {
    local display=$1
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    echo "$display"
}

# The senders both programs are tried with once TCP (on port $1) and IPv6 are on: logger over
# TCP with both framings, UDP and TCP over ::1, an IPv4-mapped sender, Python's
# SysLogHandler (NUL ends its messages), a framing error that must close its connection, and
# 50 connections of 200 messages each. Failures go to the caller's `fail`.
send_tcp_and_ipv6() {
    local tcp=$1 closed
    local tcploadgen=${MAROVIND_TCPLOADGEN:-$(dirname "${BASH_SOURCE[0]}")/../build/tcploadgen}
    logger --tcp -n 127.0.0.1 -P "$tcp" --rfc3164 -t wine "tcp lf framed"
    logger --tcp --octet-count -n 127.0.0.1 -P "$tcp" --rfc3164 -t wine "tcp octet counted"
    logger --udp -n ::1 -P 514 --rfc3164 -t wine "udp over ipv6"
    logger --tcp -n ::1 -P "$tcp" --rfc3164 -t wine "tcp over ipv6"
    logger --tcp -n ::ffff:127.0.0.1 -P "$tcp" --rfc3164 -t wine "mapped sender"
    closed=$(python3 - "$tcp" <<'PY'
import logging, logging.handlers, socket, sys
port = int(sys.argv[1])
handler = logging.handlers.SysLogHandler(address=("127.0.0.1", port), socktype=socket.SOCK_STREAM)
log = logging.getLogger("wine")
log.addHandler(handler)
log.warning("from python")
handler.close()
s = socket.create_connection(("127.0.0.1", port), timeout=5)
s.settimeout(5)
s.sendall(b"<13>before the error\n12x<13>after the error\n")
try:
    print("closed" if s.recv(1) == b"" else "data")
except ConnectionResetError:
    print("closed")
except socket.timeout:
    print("open")
PY
    )
    [ "$closed" = closed ] || fail "a framing error left the connection $closed"
    WINE_TCPLOAD=0
    if [ -x "$tcploadgen" ]; then
        WINE_TCPLOAD=10000
        local out
        out=$("$tcploadgen" --connections 50 --count 200 --port "$tcp" --framing octet 2>&1) ||
            fail "tcploadgen: $out"
    fi
}

# What send_tcp_and_ipv6 sent, as the log file $1 must hold it.
check_tcp_and_ipv6_log() {
    local log=$1 want
    for _ in $(seq 100); do
        [ "$(grep -c 'before the error' "$log" 2>/dev/null)" = 1 ] &&
            [ "$(grep -c ' 127\.0\.0\.1 tcpload ' "$log")" -ge "$WINE_TCPLOAD" ] && break
        sleep 0.1
    done
    sleep 0.5
    for want in '127\.0\.0\.1 .*tcp lf framed' '127\.0\.0\.1 .*tcp octet counted' \
        '::1 .*udp over ipv6' '::1 .*tcp over ipv6' '127\.0\.0\.1 .*mapped sender' \
        '127\.0\.0\.1 from python' '127\.0\.0\.1 before the error'; do
        grep -qE "^[A-Z][a-z]{2} [0-9]{2} [0-9:]{8} $want"$'\r''$' "$log" ||
            fail "no line '$want': $(cat -A "$log" | grep -v tcpload | tail -10)"
    done
    grep -q 'after the error' "$log" && fail "bytes after a framing error were logged"
    grep -q 'ffff' "$log" && fail "an IPv4-mapped address was logged"
    [ "$(grep -c ' 127\.0\.0\.1 tcpload ' "$log")" = "$WINE_TCPLOAD" ] ||
        fail "want $WINE_TCPLOAD tcploadgen lines: $(grep -c tcpload "$log")"
}

# TLS on port $1 of a program logging to $2: Python's ssl with both framings, openssl
# s_client, plain text refused, and 20 TLS connections of 200 messages each. The program
# serves the certificate $3; failures go to the caller's `fail`.
send_and_check_tls() {
    local tls=$1 log=$2 cert=$3 state want root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    local client=$root/tests/e2e/tls_client.py tcploadgen=${MAROVIND_TCPLOADGEN:-$root/build/tcploadgen}
    want=$(openssl x509 -in "$cert" -noout -fingerprint -sha256 | sed 's/^.*=/SHA256:/')
    [ "$(python3 "$client" fingerprint "$tls")" = "$want" ] || fail "another certificate is served over TLS"
    state=$(python3 "$client" send "$tls" "<13>tls lf framed")
    [ "$state" = accepted ] || fail "TLS, LF framing: $state"
    state=$(python3 "$client" send "$tls" --octet "<13>tls octet counted")
    [ "$state" = accepted ] || fail "TLS, octet counting: $state"
    (printf '<13>from s_client\n'; sleep 0.5) |
        openssl s_client -connect "127.0.0.1:$tls" -quiet -no_ign_eof >/dev/null 2>&1
    state=$(python3 "$client" plain "$tls" $'<13>plain text\n')
    [ "$state" = closed ] || fail "plain text on the TLS port left the connection $state"
    local load out before
    before=$(grep -c ' 127\.0\.0\.1 tcpload ' "$log" 2>/dev/null)
    load=$before
    if [ -x "$tcploadgen" ]; then
        load=$((before + 4000))
        out=$("$tcploadgen" --connections 20 --count 200 --port "$tls" --tls yes 2>&1) ||
            fail "tcploadgen --tls: $out"
    fi
    for _ in $(seq 100); do
        grep -q 'from s_client' "$log" 2>/dev/null &&
            [ "$(grep -c ' 127\.0\.0\.1 tcpload ' "$log")" -ge "$load" ] && break
        sleep 0.1
    done
    sleep 0.5
    for want in 'tls lf framed' 'tls octet counted' 'from s_client'; do
        grep -qE "^[A-Z][a-z]{2} [0-9]{2} [0-9:]{8} 127\.0\.0\.1 .*$want"$'\r''$' "$log" ||
            fail "no line '$want': $(cat -A "$log" | grep -v tcpload | tail -10)"
    done
    grep -q 'plain text' "$log" && fail "plain text on the TLS port was logged"
    [ "$(grep -c ' 127\.0\.0\.1 tcpload ' "$log")" = "$load" ] ||
        fail "want $load tcploadgen lines after TLS: $(grep -c tcpload "$log")"
}
