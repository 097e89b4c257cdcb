# Sourced by the screenshot scripts, which run as root inside `unshare -n xvfb-run`.
# start_marovind SRC INI: brings loopback up, copies SRC/build/marovind into a fresh
# directory D with INI as its Marovind.ini, starts it (PID) and waits until it listens on
# UDP port 514. ALERTS_INI, when set, becomes its alerts.ini.
start_marovind() {
    ip link set lo up
    D=$(mktemp -d)
    cp "$1/build/marovind" "$1/build/marovind.html" "$D/"
    printf '%b' "$2" > "$D"/Marovind.ini
    if [ -n "${ALERTS_INI:-}" ]; then printf '%b' "$ALERTS_INI" > "$D"/alerts.ini; fi
    (cd "$D" && ./marovind >"$D"/out.txt 2>&1) &
    PID=$!
    for _ in $(seq 100); do grep -q ':0202 ' /proc/net/udp && break; sleep 0.1; done
    sleep 1
}
