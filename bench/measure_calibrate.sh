#!/usr/bin/env bash
# How long --calibrate takes and how much memory it holds at its peak for an hour at
# 22050 Hz: a one-hour recording (8-bit mono, about 60 pulses a minute, warm cache) and an
# hour of the simulated tube (--input sim --seconds 3600 --fast); process start included,
# best of five for the time. Targets: under 2 s and under 50 MB each.
# Usage: bench/measure_calibrate.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/hour.wav" <<'PY'
import random, sys, wave
rng = random.Random(11)
rate, seconds = 22050, 3600
pulse = bytes(max(0, 128 - int(100 * 0.8 ** k)) for k in range(40))
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(1); out.setsampwidth(1); out.setframerate(rate)
    for _ in range(seconds):
        second = bytearray(rng.choice((127, 128, 129)) for _ in range(256)) * (rate // 256 + 1)
        del second[rate:]
        for at in sorted(rng.sample(range(rate - 64), rng.choice((0, 1, 1, 2)))):
            second[at:at + len(pulse)] = pulse
        out.writeframes(bytes(second))
PY
cat "$work/hour.wav" >/dev/null
measure() {  # label, then ravelin's arguments
  local label=$1 best=999 peak=0 start end kb
  shift
  for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$work/kb" "$build/bin/ravelin" --headless --calibrate "$@" >"$work/line" 2>"$work/why"
    end=$(date +%s.%N)
    best=$(echo "t = $end - $start; if (t < $best) t else $best" | bc -l)
    kb=$(tail -n 1 "$work/kb")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  printf '%s: best of 5 %.3f s wall, peak %.1f MB; proposal: %s\n' "$label" "$best" "$(echo "$peak / 1024" | bc -l)" "$(cat "$work/line")"
  grep -E "these settings count" "$work/why" | tail -n 1
}
measure "calibrate on a one-hour recording" --input "file:$work/hour.wav"
measure "calibrate on an hour of the simulator" --input sim --seconds 3600 --fast
