#!/usr/bin/env bash
# Speed and memory of the headless monitor:
#  - a --fast --no-log replay of a one-hour 8-bit mono 22050 Hz recording (warm cache), as
#    a multiple of real time, process start included;
#  - peak resident memory after 24 hours of the simulated tube against after one hour, and
#    the number of records the 24-hour run writes.
# Usage: bench/measure_headless.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
ravelin=$build/bin/ravelin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/hour.wav" <<'PY'
import math, random, struct, sys, wave
random.seed(7)
rate = 22050
second = bytearray([128]) * rate
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(1); w.setframerate(rate)
    for s in range(3600):
        buf = bytearray(second)
        for _ in range(random.randint(0, 2)):
            at = random.randint(10, rate - 200)
            for j in range(120):
                buf[at + j] = max(0, min(255, int(128 - 108 * math.exp(-j / 12))))
        w.writeframes(bytes(buf))
PY
cat "$work/hour.wav" >/dev/null  # warm the cache
runs=5
best=999
for _ in $(seq $runs); do
  start=$(date +%s.%N)
  "$ravelin" --headless --fast --no-log --input "file:$work/hour.wav" --sensitivity 29 >/dev/null
  end=$(date +%s.%N)
  t=$(echo "$end - $start" | bc -l)
  best=$(echo "if ($t < $best) $t else $best" | bc -l)
done
printf 'one-hour replay: best of %d %.3f s wall = %.0f x real time\n' $runs "$best" "$(echo "3600 / $best" | bc -l)"

peak() {  # seconds -> peak RSS in KiB, records written
  local dir=$work/log$1
  mkdir -p "$dir"
  /usr/bin/time -f '%M' -o "$work/time$1" "$ravelin" --headless --fast --input sim --seed 3 --seconds "$1" \
    --sensitivity 29 --log-folder "$dir" >/dev/null
  echo "$(cat "$work/time$1") $(cat "$dir"/*.csv | wc -l)"
}
read -r hour hourRecords < <(peak 3600)
read -r day dayRecords < <(peak 86400)
echo "peak RSS: 1 h ${hour} KiB (${hourRecords} records), 24 h ${day} KiB (${dayRecords} records), difference $((day - hour)) KiB"
