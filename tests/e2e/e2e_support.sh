# Helpers for the end-to-end scripts and the load benchmark (sourced, not run).
# They run the real program in a private network namespace, where it may bind UDP 514
# without meeting the host's syslog server and traffic stays on the namespace's loopback.

# Runs the calling script again inside new namespaces ("-n", or "-n -m" for a private
# mount namespace too) and brings up loopback there. Exits 77 when that is not permitted.
# Call as: e2e_enter_namespaces "-n" "$0" "$@"
e2e_enter_namespaces() {
    local flags=$1 script=$2
    shift 2
    if [ "${MAROVIND_E2E_NAMESPACE:-}" != 1 ]; then
        # shellcheck disable=SC2086
        if ! unshare $flags true 2>/dev/null; then
            echo "skipped: unshare $flags is not permitted here" >&2
            exit 77
        fi
        # shellcheck disable=SC2086
        MAROVIND_E2E_NAMESPACE=1 exec unshare $flags -- bash "$script" "$@"
    fi
    if ! ip link set lo up 2>/dev/null; then
        echo "skipped: cannot bring up loopback in the private network namespace" >&2
        exit 77
    fi
}

# The directory of the built program, where the load tools are built too; exits 77 when a
# tool is missing. Sets LOADGEN and LOGCHECK.
e2e_find_tools() {
    local dir
    dir=$(cd "$(dirname "$1")" && pwd)
    LOADGEN=$dir/loadgen
    LOGCHECK=$dir/logcheck
    if [ ! -x "$LOADGEN" ] || [ ! -x "$LOGCHECK" ]; then
        echo "skipped: loadgen and logcheck are not built beside $1" >&2
        exit 77
    fi
}

# True while UDP port $1 (decimal) is bound in this network namespace.
e2e_udp_bound() {
    local hex
    hex=$(printf ':%04X ' "$1")
    grep -q "$hex" /proc/net/udp 2>/dev/null
}

# Copies the program into the fresh directory $2, which becomes its program directory,
# and starts it there on the offscreen platform (E2E_QPA_PLATFORM names another, e.g. xcb
# on an X display); standard error goes to $2/stderr.txt.
# Waits until it has bound UDP 514. Sets MAROVIND_PID. False (and the reason on stderr)
# when it ends or does not bind within 30 seconds. Extra environment: MAROVIND_ENV array.
# True while TCP port $1 is listened on (state 0A) in this namespace.
e2e_tcp_bound() {
    grep -qE "$(printf ':%04X [0-9A-F]+:0000 0A ' "$1")" /proc/net/tcp6 /proc/net/tcp 2>/dev/null
}

# A test's working state: a fresh directory in $dir, removed at exit with every process
# listed in `pids` killed; `fail` counts each failure in `failures` and prints it.
e2e_begin_test() {
    dir=$(mktemp -d)
    pids=()
    failures=0
    trap 'for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done; rm -rf "$dir"' EXIT
}
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

e2e_start_program() {
    local program=$1 dir=$2
    cp "$program" "$dir/marovind"
    local html
    html="$(dirname "$program")/marovind.html"
    [ -f "$html" ] && cp "$html" "$dir/"
    (cd "$dir" && exec env "QT_QPA_PLATFORM=${E2E_QPA_PLATFORM:-offscreen}" \
        "${MAROVIND_ENV[@]}" ./marovind \
        >"$dir/stdout.txt" 2>"$dir/stderr.txt") &
    MAROVIND_PID=$!
    local i
    for ((i = 0; i < 300; i++)); do
        if ! kill -0 "$MAROVIND_PID" 2>/dev/null; then
            echo "the program ended during start-up:" >&2
            cat "$dir/stderr.txt" >&2
            return 1
        fi
        e2e_udp_bound 514 && return 0
        sleep 0.1
    done
    echo "the program did not bind UDP 514 within 30 s" >&2
    return 1
}

# Waits for process $1 (a child of this shell) to end, at most $2 seconds; its exit status,
# or 124 when it had to be killed.
e2e_wait_exit() {
    local pid=$1 limit=${2:-20} i
    for ((i = 0; i < limit * 10; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            local status=0
            wait "$pid" || status=$?
            return "$status"
        fi
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 124
}

# Ends the program as SIGTERM asks (the way File > Exit ends it) and waits; its status.
e2e_stop_program() {
    kill -TERM "$MAROVIND_PID" 2>/dev/null
    e2e_wait_exit "$MAROVIND_PID" "${1:-30}"
}

e2e_file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }

# Waits until file $1 has not grown for $2 seconds (default 0.5), at most $3 seconds
# (default 60). Sets E2E_LAST_GROWTH to the time of its last growth (seconds, as date +%s.%N).
e2e_wait_stable() {
    local file=$1 quiet=${2:-0.5} limit=${3:-60}
    local size last now start
    start=$(date +%s.%N)
    size=$(e2e_file_size "$file")
    E2E_LAST_GROWTH=$start
    while :; do
        sleep 0.1
        now=$(date +%s.%N)
        last=$(e2e_file_size "$file")
        if [ "$last" != "$size" ]; then
            size=$last
            E2E_LAST_GROWTH=$now
        elif awk -v a="$now" -v b="$E2E_LAST_GROWTH" -v q="$quiet" 'BEGIN{exit !(a-b>=q)}'; then
            return 0
        fi
        if awk -v a="$now" -v b="$start" -v l="$limit" 'BEGIN{exit !(a-b>=l)}'; then
            return 1
        fi
    done
}

# Lines of file $1 (0 when it does not exist).
e2e_line_count() {
    if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi
}

# CPU time of process $1 so far, in clock ticks (user + system, all threads).
e2e_cpu_ticks() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# Resident memory of process $1 in KiB.
e2e_rss_kib() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}

# Writes Marovind.ini into program directory $1: LOG_TYPE $2, LOG_DIR $3, LOG_SECURITY $4.
e2e_write_settings() {
    printf '[Marovind]\r\nLOG_TYPE = %s\r\nLOG_DIR = %s\r\nLOG_SECURITY = %s\r\n' "$2" "$3" "$4" \
        >"$1/Marovind.ini"
}

# How many lines of the program's standard error (in $1/stderr.txt) are exactly $2.
e2e_stderr_count() {
    grep -cxF -- "$2" "$1/stderr.txt" || true
}
