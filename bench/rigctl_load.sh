#!/bin/sh
# What Hamlib clients cost the running receiver: `orvexsdr-cli listen --rigctl` on the simulated
# receiver in real time (audio discarded), measured twice for the same stretch of audio:
#   1. alone, then with four clients each asking "f" and "l STRENGTH" 20 times a second (what
#      a digital-mode program does while decoding); the block path's DSPLoad (mean and peak,
#      from listen's closing line) and dropped blocks are printed for both, with their ratio;
#   2. the round trip of one "f" query: 1000 in a row on one connection, median and 99th
#      percentile in microseconds, while the four clients poll.
#
#   bench/rigctl_load.sh BUILD_DIR [--seconds N]
#
# Needs python3 for the clients.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [--seconds N]" >&2; exit 2; }
cli=$(cd "$1" && pwd)/cli/orvexsdr-cli
seconds=20
[ "${2:-}" = "--seconds" ] && seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# listen's closing line: "... DSPLoad mean M%, peak P%; dropped D; ..."
figures() {
    sed -n 's/.*DSPLoad mean \([0-9.]*\)%, peak \([0-9.]*\)%; dropped \([0-9]*\);.*/\1 \2 \3/p' "$1"
}

run() { # $1: name, $2: "clients" or "alone"
    "$cli" listen --freq 6.015 --mode am --no-playback --seconds "$seconds" --rigctl 0 \
        >/dev/null 2>"$work/$1.err" &
    pid=$!
    port=""
    for _ in $(seq 1 200); do
        port=$(sed -n 's/.*rigctl listening on [^:]*:\([0-9]*\).*/\1/p' "$work/$1.err")
        [ -n "$port" ] && break
        sleep 0.05
    done
    [ -n "$port" ] || { cat "$work/$1.err" >&2; exit 1; }
    if [ "$2" = clients ]; then
        python3 - "$port" "$seconds" "$work/roundtrip.txt" <<'PY'
import socket, sys, threading, time
port, seconds, out = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3]
def connect():
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s, s.makefile("rb")
def ask(conn, line):
    conn[0].sendall(line)
    return conn[1].readline()
stop = time.monotonic() + seconds - 2
def poll():
    conn = connect()
    t = time.monotonic()
    while t < stop:
        ask(conn, b"f\n"); ask(conn, b"l STRENGTH\n")
        t += 0.05
        time.sleep(max(0.0, t - time.monotonic()))
threads = [threading.Thread(target=poll) for _ in range(4)]
for th in threads: th.start()
time.sleep(1.0)
conn = connect()
times = []
for _ in range(1000):
    t0 = time.perf_counter(); ask(conn, b"f\n"); times.append(time.perf_counter() - t0)
times.sort()
with open(out, "w") as f:
    f.write("%.1f %.1f\n" % (times[500] * 1e6, times[990] * 1e6))
for th in threads: th.join()
PY
    fi
    wait "$pid"
    figures "$work/$1.err"
}

alone=$(run alone alone)
with=$(run clients clients)
set -- $alone
a_mean=$1 a_peak=$2 a_drop=$3
set -- $with
c_mean=$1 c_peak=$2 c_drop=$3
set -- $(cat "$work/roundtrip.txt")
echo "rigctl load, $seconds s of audio each, simulated receiver, real time"
printf '  alone:              DSPLoad mean %s%%, peak %s%%, dropped blocks %s\n' "$a_mean" "$a_peak" "$a_drop"
printf '  4 clients x 20/s:   DSPLoad mean %s%%, peak %s%%, dropped blocks %s\n' "$c_mean" "$c_peak" "$c_drop"
awk -v a="$a_mean" -v c="$c_mean" 'BEGIN { printf "  mean load ratio (clients / alone): %.2f\n", (a > 0 ? c / a : 0) }'
printf '  "f" round trip while they poll: median %s us, 99th percentile %s us (1000 queries)\n' "$1" "$2"
