#!/usr/bin/env bash
# The setup assistant on real counters' recordings with independent keys: for each
# recording and each variant a live input would deliver (its own rate, resampled to
# 22050 Hz, inverted, at an eighth of the level), the proposal, what the monitor counts
# with it, and the difference from the key. The recordings are read where they lie
# (their licences keep some of them out of this project).
# Usage: bench/measure_real_recordings.sh [RECORDINGS_DIR] [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
recordings=${1:-$top/../shared/real-recordings}
build=${2:-$top/build}
ravelin=$build/bin/ravelin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

key_of() { awk -F, 'NR > 1 { n += $2 } END { print n }' "$recordings/$1-key-per-second.csv"; }

row() {  # name, file, key
  local name=$1 file=$2 key=$3 line total at22050
  line=$("$ravelin" --headless --calibrate --input "file:$file" 2>"$work/why") || line="(no proposal)"
  # shellcheck disable=SC2086  # the line is options
  total=$("$ravelin" --headless --input "file:$file" --fast --no-log --sensitivity 1 $line | tail -n 1 | cut -d, -f2)
  at22050=$(grep -o 'same levels (skip [0-9]*) count [0-9]*' "$work/why" | grep -o '[0-9]*$' || true)
  printf '%-24s %-48s %6s  key %6s  %+6.1f %%  at 22050 Hz: %s\n' "$name" "$line" "$total" "$key" \
    "$(echo "100 * ($total - $key) / $key" | bc -l)" "${at22050:--}"
}

for base in talassio-left samkohn; do
  src=$recordings/$base.wav
  [ -f "$src" ] || { echo "no $src: skipped"; continue; }
  key=$(key_of "${base%-left}")
  cp "$src" "$work/own.wav"
  sox "$src" "$work/22050.wav" rate 22050
  sox "$src" "$work/inverted.wav" vol -1 2>/dev/null
  sox "$src" "$work/eighth.wav" vol 0.125
  for variant in own 22050 inverted eighth; do row "$base $variant" "$work/$variant.wav" "$key"; done
done
# The weak right channel: the same events, of which a level detector can separate about 2,450.
[ -f "$recordings/talassio-right.wav" ] && row "talassio-right own" "$recordings/talassio-right.wav" 2450
