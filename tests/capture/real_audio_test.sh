#!/usr/bin/env bash
# The live sound input against a real PulseAudio server of the test's own: pulses
# played into a null sink are counted through its remapped monitor, and a server that
# goes away mid-run ends the run with status 1 instead of a hang or a crash.
# Usage: real_audio_test.sh RAVELIN WORK_FOLDER
set -euo pipefail

ravelin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$2"
tmp=$(mktemp -d "$(realpath "$2")/audio.XXXXXX")

for tool in pulseaudio pactl paplay python3; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps installs it)"; exit 1; }
done

source "$here/../support/services.sh"
run_pid=""
cleanup() {
    if [ -n "$run_pid" ] && kill -0 "$run_pid" 2>/dev/null; then kill -KILL "$run_pid"; wait "$run_pid" || true; fi
    stop_services
}
trap cleanup EXIT
start_pulseaudio || { echo "FAIL: PulseAudio did not answer"; exit 1; }
pa_pid=${pids[-1]}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits until the file's first line (the header: capture is starting) is there.
wait_for_header() {
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# --list-inputs names the remapped source.
if ! "$ravelin" --list-inputs 2>/dev/null | grep -q $'^qtmic\t'; then
    fail "--list-inputs does not list qtmic"
fi

# Pulses played from 2 s after capture starts until well before it ends are all counted.
seconds=12
expected=$(python3 "$here/make_wavs.py" --live "$tmp/pulses.wav" $((seconds - 4)) 7)
"$ravelin" --headless --input audio --seconds "$seconds" --sensitivity 120 --no-log \
    >"$tmp/count.out" 2>"$tmp/count.err" &
run_pid=$!
if wait_for_header "$tmp/count.out"; then
    sleep 2
    paplay --latency-msec=50 "$tmp/pulses.wav" || fail "paplay failed"
fi
status=0
wait "$run_pid" || status=$?
run_pid=""
lines=$(wc -l <"$tmp/count.out")
total=$(tail -n 1 "$tmp/count.out" | cut -d, -f2)
echo "played $expected pulses, counted $total in $((lines - 1)) seconds (status $status)"
[ "$status" -eq 0 ] || fail "live run ended with status $status: $(cat "$tmp/count.err")"
[ "$lines" -eq $((seconds + 1)) ] || fail "expected $((seconds + 1)) lines, got $lines"
if [ -z "$total" ] || [ "$total" -lt $((expected - 1)) ] || [ "$total" -gt $((expected + 1)) ]; then
    fail "counted ${total:-nothing}, expected $expected ± 1"
fi

# An input named by its id, and one that does not exist.
status=0
"$ravelin" --headless --input audio:qtmic --seconds 2 --sensitivity 120 --no-log >"$tmp/named.out" 2>"$tmp/named.err" || status=$?
[ "$status" -eq 0 ] && [ "$(wc -l <"$tmp/named.out")" -eq 3 ] || fail "audio:qtmic: status $status, $(cat "$tmp/named.err")"
status=0
"$ravelin" --headless --input audio:no-such-input --seconds 2 --sensitivity 120 --no-log >/dev/null 2>"$tmp/none.err" || status=$?
[ "$status" -eq 1 ] && grep -q "no-such-input" "$tmp/none.err" || fail "audio:no-such-input: status $status, $(cat "$tmp/none.err")"

# The device goes away mid-run (its source and sink unloaded): Qt's sound back end is heard once at most.
pactl load-module module-null-sink sink_name=gone >/dev/null
pactl load-module module-remap-source source_name=gonemic master=gone.monitor >/dev/null
"$ravelin" --headless --input audio:gonemic --seconds 30 --sensitivity 120 --no-log >"$tmp/gone.out" 2>"$tmp/gone.err" &
run_pid=$!
wait_for_header "$tmp/gone.out" || true
sleep 2
pactl unload-module module-remap-source || true  # both remapped sources go; qtmic is loaded again below
pactl unload-module module-null-sink || true
status=0
wait "$run_pid" || status=$?
run_pid=""
[ "$status" -eq 1 ] && grep -q "lost" "$tmp/gone.err" || fail "device removed: status $status, $(cat "$tmp/gone.err")"
[ "$(grep -cv '^ravelin: ' "$tmp/gone.err")" -eq 0 ] || fail "device removed: Qt's own lines: $(head -3 "$tmp/gone.err")"
[ "$(grep -c 'sound system' "$tmp/gone.err")" -le 1 ] || fail "device removed: sound system said more than once"
pactl load-module module-null-sink sink_name=nullsink norewinds=1 >/dev/null
pactl load-module module-remap-source source_name=qtmic master=nullsink.monitor >/dev/null

# The server goes away mid-run: status 1 with a message, promptly.
"$ravelin" --headless --input audio --seconds 60 --sensitivity 120 --no-log >"$tmp/lost.out" 2>"$tmp/lost.err" &
run_pid=$!
wait_for_header "$tmp/lost.out" || true
sleep 3
kill -TERM "$pa_pid"
wait "$pa_pid" || true
pa_pid=""
status=0
for _ in $(seq 100); do
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$run_pid" 2>/dev/null; then
    fail "the monitor still runs 10 s after the sound server went away"
else
    wait "$run_pid" || status=$?
    run_pid=""
    [ "$status" -eq 1 ] || fail "lost input: status $status (expected 1)"
    grep -q "lost" "$tmp/lost.err" || fail "lost input: no message: $(cat "$tmp/lost.err")"
fi

# No sound server at all: no input to open.
status=0
"$ravelin" --headless --input audio --seconds 2 --sensitivity 120 --no-log >/dev/null 2>"$tmp/nodevice.err" || status=$?
[ "$status" -eq 1 ] || fail "no input device: status $status (expected 1)"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; files in $tmp"
    exit 1
fi
echo "PASS"
rm -rf "$tmp"
