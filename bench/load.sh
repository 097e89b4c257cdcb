#!/usr/bin/env bash
# Load benchmark: the real program against Debian's rsyslog, side by side.
#   bench/load.sh [BUILD_DIR]     (default: build; needs marovind, loadgen and logcheck)
# Each run starts a fresh server in a fresh directory, in a private network namespace, sends
# it numbered 100-byte datagrams on loopback at one rate, waits until its log stops growing
# and counts what the log holds. Environment: LOAD_COUNT (200000), LOAD_SIZE (100),
# LOAD_RATES ("10000 50000 100000 200000 0"; 0 is as fast as possible), LOAD_BURST (20000),
# LOAD_SERVERS ("marovind marovindd rsyslog"; "wine" is marovind.exe under wine, see
# bench/wine_load.sh), LOAD_PROGRAM (another build of the program to run).
# In every Marovind run a 10 ms timer on its GUI thread measures how late it fires while the
# load runs (MAROVIND_PROBE_TIMER): the gui column; the figure at 50,000 messages a second
# is printed again under the table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# shellcheck source=../tests/e2e/e2e_support.sh
source "$root/tests/e2e/e2e_support.sh"

if [ "${MAROVIND_E2E_NAMESPACE:-}" != 1 ] && ! command -v rsyslogd >/dev/null; then
    "$root/scripts/install-deps" rsyslog || echo "rsyslog could not be installed" >&2
fi
e2e_enter_namespaces "-n" "$0" "$build"

program=${LOAD_PROGRAM:-$build/marovind}
e2e_find_tools "$build/marovind"
count=${LOAD_COUNT:-200000}
size=${LOAD_SIZE:-100}
rates=${LOAD_RATES:-10000 50000 100000 200000 0}
burst=${LOAD_BURST:-20000}
servers=${LOAD_SERVERS:-marovind marovindd rsyslog}
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -z "${WINE_XVFB:-}" ] || kill "$WINE_XVFB" 2>/dev/null || true' EXIT
SERVER_PID=
LOG=
EOL=crlf
PROBE=

start_marovind() { # $1: run directory
    PROBE=$1/timer-probe.txt
    MAROVIND_ENV=("MAROVIND_PROBE_TIMER=$PROBE")
    e2e_start_program "$program" "$1" || return 1
    SERVER_PID=$MAROVIND_PID
    LOG=$1/syslog.log
    EOL=crlf
}

# Waits up to $1 seconds (10) until SERVER_PID has bound UDP 514; false when it ends first.
wait_bound() {
    local i
    for ((i = 0; i < ${1:-10} * 10; i++)); do
        e2e_udp_bound 514 && return 0
        kill -0 "$SERVER_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

start_marovindd() { # $1: run directory
    PROBE=
    (cd "$1" && exec "$build/marovindd" --dir "$1" >"$1/stdout.txt" 2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/syslog.log
    EOL=crlf
    wait_bound
}

# The Windows window program under wine: LOAD_WINE_DIR is an unpacked portable zip, run in
# the wine prefix of the environment, its window on Xvfb. The time from start to the bound port is kept.
start_wine() { # $1: run directory
    [ -n "${LOAD_WINE_DIR:-}" ] || { echo "LOAD_WINE_DIR names no unpacked zip"; return 1; }
    cp -r "$LOAD_WINE_DIR"/. "$1/"
    PROBE=$1/timer-probe.txt
    # A real window, as a Windows user has it, on an X server of this namespace.
    if [ -z "${WINE_XVFB:-}" ]; then
        # shellcheck source=../scripts/wine-support.sh
        source "$root/scripts/wine-support.sh"
        WINE_DISPLAY=$(free_x_display 59)
        Xvfb ":$WINE_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        WINE_XVFB=$!
        # Before any wine command: the wine server's desktop takes the display it starts with.
        export DISPLAY=":$WINE_DISPLAY"
        sleep 1
    fi
    local begun
    begun=$(date +%s.%N)
    (cd "$1" && exec env MAROVIND_PROBE_TIMER="$(winepath -w "$PROBE")" \
        wine ./marovind.exe >"$1/stdout.txt" 2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/syslog.log
    EOL=crlf
    wait_bound 60 || return 1
    WINE_STARTS+=("$(awk -v b="$begun" -v e="$(date +%s.%N)" 'BEGIN{printf "%.1f", e-b}')")
}

start_rsyslog() { # $1: run directory
    command -v rsyslogd >/dev/null || return 1
    # Nothing but one UDP input and one file action; %rawmsg% keeps the datagram whole, so
    # the sequence number survives rsyslog's own parsing of the header.
    cat >"$1/rsyslog.conf" <<EOF
module(load="imudp")
input(type="imudp" port="514")
template(name="raw" type="string" string="%rawmsg%\n")
action(type="omfile" file="$1/messages.log" template="raw")
EOF
    (cd "$1" && exec rsyslogd -n -f "$1/rsyslog.conf" -i "$1/rsyslogd.pid" \
        >"$1/stdout.txt" 2>"$1/stderr.txt") &
    SERVER_PID=$!
    LOG=$1/messages.log
    EOL=lf
    wait_bound
}

field() { sed -n "s/.*[ :]$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# The worst lateness (ms) of a GUI timer tick between $1 and $2 (monotonic ms) and the
# second after, while the queue drained; "<2" when no tick was 2 ms late, "?" without data.
worst_timer_delay() {
    [ -s "$PROBE" ] || { echo "?"; return; }
    awk -v b="$1" -v e="$2" '$1 != "worst" && $1 >= b && $1 <= e + 1000 { if ($2 > w) w = $2 }
        END { if (w > 0) printf "%.1f", w; else printf "<2" }' "$PROBE"
}

# One run: server, asked rate (0: as fast as possible), datagrams. Prints one table row.
run() {
    local server=$1 rate=$2 n=$3 label=$4
    local dir
    dir=$(mktemp -d "$work/$server.XXXX")
    if ! "start_$server" "$dir" 2>"$dir/start-error.txt"; then
        printf '%-9s %-10s %s\n' "$server" "$label" "(could not start: $(head -c 200 "$dir/start-error.txt" | tr '\n' ' '))"
        [ -n "$SERVER_PID" ] && kill -KILL "$SERVER_PID" 2>/dev/null || true
        return 0
    fi
    sleep 0.5 # let start-up settle before the baseline is taken
    local rss0 cpu0 t0 sent check rss1 cpu1 seconds
    rss0=$(e2e_rss_kib "$SERVER_PID")
    cpu0=$(e2e_cpu_ticks "$SERVER_PID")
    t0=$(date +%s.%N)
    sent=$("$LOADGEN" --count "$n" --size "$size" --rate "$rate")
    e2e_wait_stable "$LOG" 1.0 120 || true
    cpu1=$(e2e_cpu_ticks "$SERVER_PID")
    rss1=$(e2e_rss_kib "$SERVER_PID")
    seconds=$(awk -v a="$E2E_LAST_GROWTH" -v b="$t0" 'BEGIN{s=a-b; print (s>0.001?s:0.001)}')
    kill -TERM "$SERVER_PID" 2>/dev/null
    e2e_wait_exit "$SERVER_PID" 60 || true
    local gui=-
    [ -n "$PROBE" ] && gui=$(worst_timer_delay "$(field began_ms "$sent")" \
        "$(field ended_ms "$sent")")
    [ "$server" = marovind ] && [ "$rate" = 50000 ] && GUI_AT_50K=$gui
    check=$("$LOGCHECK" --count "$n" --eol "$EOL" "$LOG" 2>&1 || true)
    local received lost
    received=$(field received "$check")
    lost=$(field lost "$check")
    local per_row=-
    if [ -n "$PROBE" ] && [ "${received:-0}" -gt 0 ]; then
        per_row=$(((rss1 - rss0) * 1024 / received))
    fi
    printf '%-9s %-10s %10s %9s %8s %7s %6s %9s %7s %8s %8s\n' "$server" "$label" \
        "$(field rate "$sent")" "$received" "$lost" "$(field loss_pct "$check")" \
        "$(awk -v c=$((cpu1 - cpu0)) -v t="$ticks_per_second" -v s="$seconds" \
            'BEGIN{printf "%.0f", 100*c/t/s}')" \
        "$(awk -v k="$rss1" 'BEGIN{printf "%.1f", k/1024}')" "$per_row" "$gui" \
        "$(awk -v c=$((cpu1 - cpu0)) -v t="$ticks_per_second" -v r="${received:-0}" \
            'BEGIN{if (r > 0) printf "%.2f", 1e6*c/t/r; else printf "-"}')"
    local incomplete
    incomplete=$(field incomplete "$check")
    [ "${incomplete:-0}" = 0 ] || echo "  ($server $label: $incomplete incomplete lines)"
}

echo "Load: $count datagrams of $size bytes per run on 127.0.0.1:514, $(nproc) cores," \
    "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %-10s %10s %9s %8s %7s %6s %9s %7s %8s %8s\n' server asked achieved received lost \
    'loss%' 'cpu%' 'rss(MB)' 'B/row' 'gui(ms)' 'us/msg'
GUI_AT_50K=
WINE_STARTS=()
for server in $servers; do
    for rate in $rates; do
        label=$rate
        [ "$rate" = 0 ] && label=max
        run "$server" "$rate" "$count" "$label"
    done
    run "$server" 0 "$burst" "burst$((burst / 1000))k"
done
echo "achieved: the sender's rate; cpu%: server CPU time over the run; rss: resident memory"
echo "at the end; B/row: resident memory grown per listed row; gui: worst lateness of a 10 ms"
echo "timer on Marovind's GUI thread while the load ran; us/msg: server CPU microseconds per"
echo "message received."
[ -n "$GUI_AT_50K" ] &&
    echo "Worst delay of a 10 ms GUI timer while 50,000 msg/s arrived: $GUI_AT_50K ms"
[ ${#WINE_STARTS[@]} -gt 0 ] &&
    echo "marovind.exe under wine, start to bound port (s, splash included): ${WINE_STARTS[*]}"
exit 0
