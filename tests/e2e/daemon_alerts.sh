#!/usr/bin/env bash
# Alert rules in marovindd, in a private network namespace: a rule's program gets hostile
# message text from real clients (Python, logger) as single arguments, byte for byte, and on
# its standard input; 10,000 matching datagrams in a second start it once and every one is
# logged; SIGHUP takes a changed alerts.ini; a file it cannot read is kept and reported once.
#   daemon_alerts.sh path/to/marovindd [path/to/marovind]
set -uo pipefail
daemon=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_support.sh"
e2e_enter_namespaces "-n" "$0" "$@"
e2e_find_tools "$daemon"
command -v python3 >/dev/null || { echo "skipped: python3 is not installed" >&2; exit 77; }
command -v logger >/dev/null || { echo "skipped: logger is not installed" >&2; exit 77; }
export LC_ALL=C
e2e_begin_test
port=5514

# The program the rules start: its arguments NUL-terminated, its input, one line per run.
cat >"$dir/record" <<'EOF'
#!/bin/bash
out=$1
shift
n=$(date +%s%N)
printf '%s\0' "$@" >"$out.$n.args"
cat >"$out.$n.stdin"
echo run >>"$out.runs"
EOF
chmod +x "$dir/record"

write_rules() { # the rules, LF line ends turned into CR LF
    sed 's/$/\r/' >"$dir/alerts.ini"
}
write_rules <<EOF
[Alert 1]
NAME = hostile
TEXT = hostile
RUN = true
PROGRAM = $dir/record
ARG1 = $dir/hostile
ARG2 = %message%
ARG3 = %address%/%facility%.%severity%
INTERVAL = 0
[Alert 2]
NAME = flood
MIN_SEVERITY = notice
TEXT = loadgen
RUN = true
PROGRAM = $dir/record
ARG1 = $dir/flood
EOF

wait_for() { # until the file $1 has $2 lines, at most 10 s
    for _ in $(seq 100); do
        [ "$(cat "$1" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

(cd / && exec "$daemon" --dir "$dir" --port $port 2>"$dir/stderr.txt") &
PID=$!
pids+=("$PID")
for _ in $(seq 100); do e2e_udp_bound $port && break; sleep 0.05; done

# Hostile text through Python: quotes, a semicolon, command substitutions, a placeholder,
# a backslash; then a long one through logger.
hostile='hostile "dq" '"'sq'"' ; rm -rf / $(touch '"$dir"'/pwned) `id` %message% %time% \x \\ end'
python3 - "$port" "$hostile" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.sendto(b"<11>" + sys.argv[2].encode(), ("127.0.0.1", int(sys.argv[1])))
EOF
wait_for "$dir/hostile.runs" 1 || fail "the hostile message started no program: $(cat "$dir/stderr.txt")"
long="hostile $(head -c 900 /dev/zero | tr '\0' 'y') ; \$(reboot)"
logger --udp --server 127.0.0.1 --port $port --rfc3164 --stderr -t e2e -p local3.warning "$long" 2>"$dir/logger.sent"
wait_for "$dir/hostile.runs" 2 || fail "logger's message started no program"
sent_by_logger=$(cut -d'>' -f2- "$dir/logger.sent")

mapfile -t arg_files < <(ls "$dir"/hostile.*.args 2>/dev/null | sort)
if [ "${#arg_files[@]}" -eq 2 ]; then
    python3 - "${arg_files[@]}" "$hostile" "$sent_by_logger" <<'EOF' || fail "arguments differ from the messages"
import sys
first, second, hostile, logged = sys.argv[1:5]
def args(path):
    return open(path, "rb").read().split(b"\0")[:-1]
want = [[hostile.encode(), b"127.0.0.1/user.err"], [logged.encode(), b"127.0.0.1/local3.warn"]]
got = [args(first), args(second)]
for g, w in zip(got, want):
    if g != w:
        print("got", g, "want", w, file=sys.stderr)
        sys.exit(1)
EOF
    printf '%s\n' "$hostile" | cmp -s - "${arg_files[0]%.args}.stdin" || fail "standard input differs"
fi
[ -e "$dir/pwned" ] && fail "a command in a message was run"

# A flood: 10,000 matching datagrams within a second start the program once, and every
# one reaches the log.
"$LOADGEN" --port $port --count 10000 --rate 10000 >/dev/null
for _ in $(seq 100); do
    "$LOGCHECK" --count 10000 "$dir/syslog.log" >/dev/null 2>&1 && break
    sleep 0.1
done
check=$("$LOGCHECK" --count 10000 "$dir/syslog.log") || fail "flood lost lines: $check"
sleep 1
[ "$(wc -l <"$dir/flood.runs")" -eq 1 ] || fail "the flood started $(wc -l <"$dir/flood.runs") programs"
[ "$(grep -c '^Alert flood: ' "$dir/stderr.txt")" -eq 1 ] || fail "the flood's alert lines: $(grep -c '^Alert flood' "$dir/stderr.txt")"

# SIGHUP: a changed file is taken; then one it cannot read is kept and reported once.
write_rules <<EOF
[Alert 1]
NAME = reloaded
TEXT = after reload
RUN = true
PROGRAM = $dir/record
ARG1 = $dir/reloaded
EOF
kill -HUP "$PID"
sleep 0.5
printf '<12>after reload' >/dev/udp/127.0.0.1/$port
wait_for "$dir/reloaded.runs" 1 || fail "the reloaded rule did not run"
printf 'not an alert file\r\n' >"$dir/alerts.ini"
cp "$dir/alerts.ini" "$dir/alerts.want"
kill -HUP "$PID"
sleep 0.3
kill -HUP "$PID"
sleep 0.3
[ "$(grep -c "alerts.ini, line 1: not understood" "$dir/stderr.txt")" -eq 1 ] ||
    fail "the unreadable file was not reported once: $(cat "$dir/stderr.txt")"
cmp -s "$dir/alerts.ini" "$dir/alerts.want" || fail "the unreadable file was changed"
printf '<12>after reload' >/dev/udp/127.0.0.1/$port
kill -TERM "$PID"
wait "$PID" || fail "marovindd ended with $?"
[ "$(wc -l <"$dir/reloaded.runs")" -eq 1 ] || fail "rules stayed in force after a bad file"

[ "$failures" -eq 0 ] || exit 1
echo "daemon_alerts: all checks passed (${check#logcheck: })"
