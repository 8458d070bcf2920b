#!/usr/bin/env bash
# Station mode against bad brokers, side by side in about 70 seconds: a real Mosquitto whose
# max_packet_size is smaller than the discovery messages (the client backs off and names the
# cause once), a fake broker announcing a 256 MiB packet and trickling it, plain and over TLS
# (dropped, reported, memory bounded), and one that goes silent after accepting (the keep-alive
# time-out in words).
# Usage: station_bad_broker_test.sh RAVELIN
set -euo pipefail

ravelin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scratch.sh
source "$here/../support/scratch.sh"

# monitor NAME SECONDS URL [options...]: a real-time headless run in $work/NAME, its peak memory in $work/NAME/rss.
monitor() {
    local name=$1 seconds=$2 url=$3
    shift 3
    mkdir -p "$work/$name"
    (cd "$work/$name" && exec /usr/bin/time -f %M -o "$work/$name/rss" "$ravelin" --headless --input sim --seed 1 \
        --seconds "$seconds" --sensitivity 120 --no-log --mqtt "$url" --mqtt-prefix "st/$name" "$@" \
        >"$work/$name/out.csv" 2>"$work/$name/err.txt" </dev/null) &
    pids+=("$!")
    echo $! >"$work/$name/pid"
}

# --- a Mosquitto that cuts every connection at the first discovery config ---
port_small=$(free_port)
mkdir -p "$work/broker"
printf '%s\n' "listener $port_small 127.0.0.1" "allow_anonymous true" "persistence false" "user $(id -un)" \
    "max_packet_size 400" "log_type all" >"$work/broker/mosquitto.conf"
mosquitto -c "$work/broker/mosquitto.conf" >"$work/broker/log" 2>&1 &
pids+=("$!")
wait_until 10 mosquitto_pub -h 127.0.0.1 -p "$port_small" -t ping -m x || fail "the broker did not start"
mosquitto_sub -h 127.0.0.1 -p "$port_small" -v -t 'st/small/status' >"$work/status" 2>/dev/null &
pids+=("$!")
sleep 0.5

# --- the fake brokers, the huge packet also over TLS ---
make_test_certificates "$work/tls"
for mode in huge silent hugetls; do
    case $mode in
        hugetls) args=(huge 1048576 "$work/tls/server.pem" "$work/tls/server.key") ;;
        *) args=("$mode") ;;
    esac
    python3 "$here/fake_broker.py" "${args[@]}" >"$work/$mode.broker" &
    pids+=("$!")
    wait_until 10 test -s "$work/$mode.broker" || fail "the $mode broker did not start"
done

monitor small 25 "mqtt://127.0.0.1:$port_small"
monitor huge 25 "mqtt://127.0.0.1:$(head -n1 "$work/huge.broker")"
monitor silent 70 "mqtt://127.0.0.1:$(head -n1 "$work/silent.broker")"
monitor hugetls 25 "mqtts://127.0.0.1:$(head -n1 "$work/hugetls.broker")" --mqtt-ca "$work/tls/ca.pem"
for name in small huge silent hugetls; do
    wait "$(cat "$work/$name/pid")" || fail "$name: the monitor failed: $(cat "$work/$name/err.txt")"
done

# Back-off: tries at about 0, 2, 6 and 14 s in the 25 s run, never one a second; the cause said once.
attempts=$(grep -c 'New client connected .* as ravelin-' "$work/broker/log" || true)
echo "small-packet broker: $attempts connection attempts in 25 s"
((attempts >= 2 && attempts <= 5)) || fail "$attempts attempts in 25 s against the 400-byte broker"
grep -q 'oversize packet' "$work/broker/log" || fail "the broker did not cut for size: $(cat "$work/broker/log")"
[[ $(grep -c 'MQTT' "$work/small/err.txt") -eq 1 ]] || fail "not one MQTT line: $(cat "$work/small/err.txt")"
grep -Eq 'right after the [0-9]+-byte discovery message: check its max_packet_size' "$work/small/err.txt" ||
    fail "the cause was not named: $(cat "$work/small/err.txt")"
flips=$(grep -c 'online$' "$work/status" || true)
((flips <= 3)) || fail "subscribers saw $flips times online"
[[ $(wc -l <"$work/small/out.csv") -eq 26 ]] || fail "counting stopped with the small-packet broker"

# The huge packet, plain and over TLS: dropped at its announcement, said once, memory bounded.
for name in huge hugetls; do
    grep -q '268435455-byte packet, more than the 65536 bytes the monitor takes: connection dropped' \
        "$work/$name/err.txt" || fail "$name: the huge packet was not reported: $(cat "$work/$name/err.txt")"
    [[ $(grep -c 'MQTT' "$work/$name/err.txt") -eq 1 ]] || fail "$name: not one MQTT line: $(cat "$work/$name/err.txt")"
    grep -q 'dropped after' "$work/$name.broker" || fail "$name: the monitor kept the hostile connection"
    rss=$(tail -n1 "$work/$name/rss")
    echo "$name broker: peak resident memory ${rss} KiB; $(grep -c '^connection [0-9]*$' "$work/$name.broker") connection(s)"
    ((rss < 40000)) || fail "peak memory ${rss} KiB against the $name broker"
done

# The frozen broker: the keep-alive time-out in words.
grep -q 'unreachable (the broker stopped answering: no reply within the 30-second keep-alive time)' \
    "$work/silent/err.txt" || fail "the keep-alive time-out was not said in words: $(cat "$work/silent/err.txt")"
grep -q 'Unknown error' "$work/silent/err.txt" && fail "an unknown error was reported"
echo "PASS"
