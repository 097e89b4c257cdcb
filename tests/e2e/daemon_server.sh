#!/usr/bin/env bash
# marovindd end to end, in a private network namespace: a first start's files; the same
# datagrams from real clients give the same log lines as the window program writes; SIGHUP
# after a change of LOG_TYPE reopens the new file set; SIGTERM in a flood ends with 0 and no
# torn line; a second instance ends with the bind message and 1; --dir, --port, bad options.
#   daemon_server.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
window=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$daemon"
command -v logger >/dev/null || { echo "skipped: logger is not installed" >&2; exit 77; }
export LC_ALL=C

e2e_begin_test

# Starts marovindd with the given arguments, standard error into $dir/$1.err; waits until
# UDP port $2 is bound. Sets PID.
start_daemon() {
    local name=$1 port=$2
    shift 2
    (cd / && exec "$daemon" "$@" 2>"$dir/$name.err") &
    PID=$!
    pids+=("$PID")
    for _ in $(seq 100); do
        e2e_udp_bound "$port" && return 0
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.05
    done
    fail "$name did not bind UDP $port: $(cat "$dir/$name.err")"
    return 1
}

# The same datagrams to UDP port $1: through util-linux logger (its datagram, which it also
# prints, is sent again as it was the second time) and through a plain socket.
send_set() {
    local text
    if [ ! -s "$dir/logger.sent" ]; then
        logger --udp --server 127.0.0.1 --port "$1" --rfc3164 --stderr -t e2e -p local3.warning \
            "from logger" 2>"$dir/logger.sent"
    else
        printf '%s' "$(cat "$dir/logger.sent")" >"$dir/datagram"
        cat "$dir/datagram" >"/dev/udp/127.0.0.1/$1"
    fi
    for text in '<13>two\r\nlines\tand a tab' 'no markers at all' '<96>facility 12 \377 byte' '<13>'; do
        printf "$text" >"$dir/datagram"
        cat "$dir/datagram" >"/dev/udp/127.0.0.1/$1"
    done
}
without_times() { cut -b 17- "$1"; } # the receive time and its blank

# A first start in a fresh directory given by --dir, on another port.
mkdir "$dir/first"
start_daemon first 5514 --dir "$dir/first" --port 5514 || exit 1
first=$PID
printf '[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = %s/\r\nLOG_SECURITY = false\r\n' "$dir/first" >"$dir/ini.want"
cmp -s "$dir/first/Marovind.ini" "$dir/ini.want" || fail "first start's Marovind.ini: $(od -c "$dir/first/Marovind.ini" | head -5)"
[ -f "$dir/first/syslog.log" ] || fail "no syslog.log after the first start"
grep -qxF "Marovind Version 1.0" "$dir/first.err" || fail "no version line: $(cat "$dir/first.err")"
grep -q "^Listening for syslog messages on IP address: " "$dir/first.err" || fail "no listening line"

send_set 5514
e2e_wait_stable "$dir/first/syslog.log" 0.3 10
[ "$(e2e_line_count "$dir/first/syslog.log")" -eq 5 ] || fail "want 5 lines: $(cat -A "$dir/first/syslog.log")"
grep -qE '^[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} 127\.0\.0\.1 .*'$'\r''$' "$dir/first/syslog.log" ||
    fail "log lines are not 'time address text CR LF'"

# The window program on the same datagrams writes the same bytes after the time.
if [ -n "$window" ]; then
    mkdir "$dir/window"
    if e2e_start_program "$window" "$dir/window"; then
        send_set 514
        e2e_wait_stable "$dir/window/syslog.log" 0.3 10
        e2e_stop_program || fail "the window program: exit status $?"
        cmp -s <(without_times "$dir/first/syslog.log") <(without_times "$dir/window/syslog.log") ||
            fail "lines differ from the window program's: $(diff <(without_times "$dir/first/syslog.log" | cat -A) <(without_times "$dir/window/syslog.log" | cat -A))"
    else
        fail "the window program did not start"
    fi
fi

# SIGHUP after LOG_TYPE 1: the twelve severity files, and a message of severity 3 in err.log.
sed -i 's/^LOG_TYPE = 0\r$/LOG_TYPE = 1\r/' "$dir/first/Marovind.ini"
kill -HUP "$first"
for _ in $(seq 100); do [ -f "$dir/first/warning.log" ] && break; sleep 0.05; done
[ "$(ls "$dir/first" | grep -c '\.log$')" -eq 13 ] || fail "after SIGHUP: $(ls "$dir/first")"
printf '<11>after reload' >"$dir/datagram"
cat "$dir/datagram" >/dev/udp/127.0.0.1/5514
e2e_wait_stable "$dir/first/err.log" 0.3 10
grep -q " 127.0.0.1 after reload"$'\r''$' "$dir/first/err.log" || fail "err.log after SIGHUP: $(cat -A "$dir/first/err.log")"
[ "$(e2e_line_count "$dir/first/syslog.log")" -eq 5 ] || fail "syslog.log grew after SIGHUP"
kill -0 "$first" 2>/dev/null || fail "SIGHUP ended the server"

# A second instance on the same port: the bind message and status 1; the first goes on.
status=0
timeout 20 "$daemon" --dir "$dir/first" --port 5514 2>"$dir/second.err" || status=$?
[ "$status" -eq 1 ] || fail "the second instance ended with $status"
grep -qxF "Syslog: Couldn't bind socket 514: [10048] Address already in use" "$dir/second.err" ||
    fail "no bind message from the second instance: $(cat "$dir/second.err")"
kill -0 "$first" 2>/dev/null || fail "the first instance ended with the second"
kill -TERM "$first"
status=0
e2e_wait_exit "$first" 20 || status=$?
[ "$status" -eq 0 ] || fail "SIGTERM: status $status"

# SIGTERM in the middle of a flood on the default port: 0, and only whole lines.
mkdir "$dir/flood"
start_daemon flood 514 --dir "$dir/flood" || exit 1
"$LOADGEN" --count 400000 --rate 0 >/dev/null 2>&1 &
sender=$!
pids+=("$sender")
for _ in $(seq 100); do
    [ "$(e2e_file_size "$dir/flood/syslog.log")" -gt 100000 ] && break
    sleep 0.05
done
kill -TERM "$PID"
status=0
e2e_wait_exit "$PID" 20 || status=$?
wait "$sender" 2>/dev/null
[ "$status" -eq 0 ] || fail "SIGTERM in a flood: status $status"
check=$("$LOGCHECK" "$dir/flood/syslog.log" || true)
for clean in incomplete=0 duplicated=0 out_of_order=0 foreign=0 last_line=complete; do
    [[ " $check " == *" $clean "* ]] || fail "SIGTERM in a flood: want $clean: $check"
done

# Bad command lines: one usage line, status 2, nothing created.
for args in "--bogus" "--port 0" "--port 70000" "--port x" "--port" "--dir" "--dir $dir/missing"; do
    status=0
    # shellcheck disable=SC2086
    "$daemon" $args >/dev/null 2>"$dir/bad.err" || status=$?
    [ "$status" -eq 2 ] || fail "'$args': status $status"
    [ "$(wc -l <"$dir/bad.err")" -eq 1 ] && grep -q "usage: marovindd " "$dir/bad.err" ||
        fail "'$args': $(cat "$dir/bad.err")"
done
"$daemon" --help | grep -q "^usage: marovindd " || fail "--help"
"$daemon" --version | grep -qxF "Marovind Version 1.0" || fail "--version"

[ "$failures" -eq 0 ] || exit 1
echo "daemon_server: all checks passed (${check#logcheck: })"
