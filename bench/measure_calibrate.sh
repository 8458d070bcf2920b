#!/usr/bin/env bash
# How long --calibrate takes on a one-hour recording (8-bit mono 22050 Hz, about
# 60 pulses a minute, warm cache), process start included; best of five.
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
best=999
for _ in 1 2 3 4 5; do
  start=$(date +%s.%N)
  "$build/bin/ravelin" --headless --calibrate --input "file:$work/hour.wav" >"$work/line" 2>"$work/why"
  end=$(date +%s.%N)
  best=$(echo "t = $end - $start; if (t < $best) t else $best" | bc -l)
done
printf 'calibrate on one hour: best of 5 %.3f s wall; proposal: %s\n' "$best" "$(cat "$work/line")"
grep -E "count|CPM" "$work/why" | tail -n 1
