#!/usr/bin/env bash
# The window program capturing from the simulated tube in real time with the trend graph
# shown (or, with --no-graph, the main window alone), under a virtual display: CPU share of
# one core from 10 s to 70 s after start (the display server not counted) and peak
# resident memory.
# Usage: bench/measure_gui.sh [--no-graph] [path/to/ravelin]   (default: build/bin/ravelin)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
graph=--graph
if [ "${1:-}" = --no-graph ]; then graph=""; shift; fi
program=$(realpath "${1:-$top/build/bin/ravelin}")
cpu_limit=${CPU_LIMIT_PERCENT:-1}
memory_limit_kb=${MEMORY_LIMIT_KB:-102400}
[ -x "$program" ] || { echo "measure_gui: no program at $program" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "measure_gui: Xvfb is missing (apt install xvfb)" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid="" app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display number and writes it to the pipe once it accepts clients.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$work/displayfd" || { echo "measure_gui: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"

mkdir "$work/run"
(cd "$work/run" && exec env QT_QPA_PLATFORM=xcb "$program" --input sim $graph --start --sensitivity 29) \
  >"$work/app.log" 2>&1 &
app_pid=$!

ticks() {  # utime + stime of the program, in clock ticks
  local stat
  stat=$(cat "/proc/$app_pid/stat") || { echo "measure_gui: the program ended early" >&2; cat "$work/app.log" >&2; exit 1; }
  stat=${stat##*) }  # the command name may hold blanks; fields from the state on
  set -- $stat
  echo $(( ${12} + ${13} ))
}

sleep 10
first=$(ticks)
sleep 60
last=$(ticks)
hwm_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$app_pid/status")
hz=$(getconf CLK_TCK)

cpu_percent=$(awk -v t=$((last - first)) -v hz="$hz" 'BEGIN { printf "%.3f", t / hz / 60 * 100 }')
echo "CPU from 10 s to 70 s: ${cpu_percent} % of one core ($((last - first)) ticks at ${hz}/s)"
echo "Peak resident memory (VmHWM): $((hwm_kb / 1024)) MB (${hwm_kb} kB)"

status=0
awk -v c="$cpu_percent" -v l="$cpu_limit" 'BEGIN { exit !(c < l) }' || { echo "measure_gui: CPU above ${cpu_limit} %" >&2; status=1; }
[ "$hwm_kb" -lt "$memory_limit_kb" ] || { echo "measure_gui: memory above $((memory_limit_kb / 1024)) MB" >&2; status=1; }
exit $status
