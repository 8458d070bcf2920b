#!/usr/bin/env bash
# Opening the history over a year of records: 365 day files of 1,440 records (525,600
# lines) made by tests/history/make_logs.py. Measures, process start included and the
# cache warm, the wall time and peak resident memory of
#  - --export PNG: every file read, the plot of the whole year computed and painted at
#    1200 x 600 and written (what opening the window does, and a PNG encoding more);
#  - --summary: every file read, the per-day means.
# Limits: under 1 s and under 100 MB each.
# Usage: bench/measure_history.sh [path/to/ravelin]   (default: build/bin/ravelin)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build/bin/ravelin}")
[ -x "$program" ] || { echo "measure_history: no program at $program" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "measure_history: /usr/bin/time is missing (apt install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$top/tests/history/make_logs.py" "$work/year" --days 365 --start 2023-01-01 --full
lines=$(cat "$work"/year/*.csv | wc -l)
echo "records: $lines in $(ls "$work/year" | wc -l) files, $(du -sk "$work/year" | cut -f1) kB"
[ "$lines" -eq 525600 ] || { echo "measure_history: expected 525600 lines" >&2; exit 1; }

status=0
measure() {  # name, arguments...: the best wall time of three runs and the largest peak memory
  local name=$1 best="" peak=0; shift
  for _ in 1 2 3; do
    env QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%e %M" -o "$work/time" "$program" "$@" >/dev/null 2>"$work/err" \
      || { echo "measure_history: $name failed" >&2; cat "$work/err" >&2; exit 1; }
    read -r seconds kb <"$work/time"
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$seconds; fi
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  echo "$name: ${best} s, peak resident memory $((peak / 1024)) MB (${peak} kB)"
  awk -v s="$best" 'BEGIN { exit !(s < 1) }' || { echo "measure_history: $name took 1 s or more" >&2; status=1; }
  [ "$peak" -lt 102400 ] || { echo "measure_history: $name used 100 MB or more" >&2; status=1; }
}
cat "$work"/year/*.csv >/dev/null  # warm the cache
measure "open and draw a year (--export PNG)" --history "$work/year" --export "$work/year.png"
measure "summary of a year (--summary)" --history "$work/year" --summary
exit $status
