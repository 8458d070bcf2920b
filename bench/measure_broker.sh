#!/usr/bin/env bash
# Station mode against bad brokers: connection attempts in 60 s against a Mosquitto with
# max_packet_size 400 (smaller than the discovery messages), and the monitor's peak resident
# memory in 120 s against a fake broker announcing a 256 MiB packet trickled at 1 MiB/s,
# beside a run without --mqtt. The attempts in 10 minutes are computed from the back-off
# schedule (2 s doubling to 5 minutes); with --long they are measured (10 minutes more).
# Targets: at most 7 attempts in 60 s and 10 in 10 minutes; under 40 MB against the huge packet.
# Usage: bench/measure_broker.sh [--long]   (after building build/bin/ravelin)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
ravelin=$top/build/bin/ravelin
[[ -x $ravelin ]] || { echo "build first: cmake --build build --target ravelin" >&2; exit 1; }
long=0
[[ ${1:-} == --long ]] && long=1
# shellcheck source=../tests/support/scratch.sh
source "$top/tests/support/scratch.sh"

# run NAME SECONDS [options...]: a real-time headless run, its peak memory in $work/NAME.rss (KiB).
run() {
    local name=$1 seconds=$2
    shift 2
    /usr/bin/time -f %M -o "$work/$name.rss" "$ravelin" --headless --input sim --seed 1 --seconds "$seconds" \
        --sensitivity 120 --no-log "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null &
    pids+=("$!")
    echo $! >"$work/$name.pid"
}

port=$(free_port)
printf '%s\n' "listener $port 127.0.0.1" "allow_anonymous true" "persistence false" "user $(id -un)" \
    "max_packet_size 400" "log_type all" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=("$!")
sleep 0.5
mosquitto_sub -h 127.0.0.1 -p "$port" -v -t 'bench/small/status' >"$work/status" 2>/dev/null &
pids+=("$!")
python3 "$top/tests/station/fake_broker.py" huge 1048576 >"$work/huge.broker" &
pids+=("$!")
sleep 1
huge_port=$(head -n1 "$work/huge.broker")

small_seconds=60
((long)) && small_seconds=600
run small "$small_seconds" --mqtt "mqtt://127.0.0.1:$port" --mqtt-prefix bench/small
run huge 120 --mqtt "mqtt://127.0.0.1:$huge_port" --mqtt-prefix bench/huge
run plain 120
began=$SECONDS
for name in small huge plain; do wait "$(cat "$work/$name.pid")" || true; done

# Attempts: the broker's log stamps each connection with its time.
first=$(grep -m1 'New client connected .* as ravelin-' "$work/broker.log" | cut -d: -f1)
attempts_60=$(grep 'New client connected .* as ravelin-' "$work/broker.log" | cut -d: -f1 |
    awk -v f="$first" '$1 - f < 60' | wc -l)
echo "400-byte broker: $attempts_60 connection attempts in the first 60 s (target: at most 7)"
if ((long)); then
    attempts_600=$(grep -c 'New client connected .* as ravelin-' "$work/broker.log")
    echo "400-byte broker: $attempts_600 connection attempts in 10 minutes, measured (target: at most 10)"
else
    attempts_600=$(python3 -c '
t, delay, n = 0, 2, 0
while t < 600:
    n, t, delay = n + 1, t + delay, min(delay * 2, 300)
print(n)')
    echo "400-byte broker: $attempts_600 connection attempts in 10 minutes, from the back-off schedule (target: at most 10)"
fi
echo "400-byte broker: $(grep -c 'unreachable' "$work/small.err") line(s) about the link on stderr, of these MQTT lines:"
grep 'MQTT' "$work/small.err" | sed 's/^/    /'
echo "400-byte broker: $(grep -c 'online$' "$work/status") time(s) \"online\" seen by a subscriber"
echo "huge-packet broker (1 MiB/s for 120 s): peak resident memory $(tail -n1 "$work/huge.rss") KiB;" \
    "without --mqtt $(tail -n1 "$work/plain.rss") KiB (target: under 40 MB);" \
    "$(grep -c '^connection [0-9]*$' "$work/huge.broker") connection(s), each dropped after" \
    "$(grep -m1 'dropped after' "$work/huge.broker" | sed 's/.*after //')"
echo "huge-packet broker: $(grep -m1 MQTT "$work/huge.err")"
