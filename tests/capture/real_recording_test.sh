#!/usr/bin/env bash
# The setup assistant on a real counter's recording, as it is and as a live input would
# deliver it (resampled to 22050 Hz, inverted, at an eighth of the level): the monitor,
# run with the proposal, counts the key's 38 pulses, within one.
# Usage: real_recording_test.sh RAVELIN
set -euo pipefail
ravelin=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key=$(awk -F, 'NR > 1 { n += $2 } END { print n }' "$here/real/samkohn-key-per-second.csv")

cp "$here/real/samkohn.wav" "$work/own.wav"
sox "$here/real/samkohn.wav" "$work/22050.wav" rate 22050
sox "$here/real/samkohn.wav" "$work/inverted.wav" vol -1 2>/dev/null
sox "$here/real/samkohn.wav" "$work/eighth.wav" vol 0.125

failed=0
for variant in own 22050 inverted eighth; do
  recording=$work/$variant.wav
  line=$("$ravelin" --headless --calibrate --input "file:$recording" 2>"$work/$variant.why") || {
    echo "FAIL $variant: no proposal"; cat "$work/$variant.why"; failed=1; continue; }
  # shellcheck disable=SC2086  # the line is options, split as a shell would
  total=$("$ravelin" --headless --input "file:$recording" --fast --no-log --sensitivity 1 $line | tail -n 1 | cut -d, -f2)
  if [ $((total - key)) -le 1 ] && [ $((key - total)) -le 1 ]; then
    echo "ok   $variant: $line counts $total of $key"
  else
    echo "FAIL $variant: $line counts $total of $key"; cat "$work/$variant.why"; failed=1
  fi
  case $variant in
    own | eighth | 22050) grep -q -- "--invert" <<<"$line" || { echo "FAIL $variant: the rising pulses need --invert"; failed=1; } ;;
    inverted) ! grep -q -- "--invert" <<<"$line" || { echo "FAIL $variant: dips need no --invert"; failed=1; } ;;
  esac
done
[ "$failed" -eq 0 ] && echo "4 passed, 0 failed" || exit 1
