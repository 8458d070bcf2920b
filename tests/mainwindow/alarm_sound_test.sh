#!/usr/bin/env bash
# The alarm heard through PulseAudio: the stage's own file loops until the stage's
# stop button is clicked in the window; a file too short to be a WAV and a missing
# one are replaced by the program's own sound of that stage.
# Usage: alarm_sound_test.sh RAVELIN
set -euo pipefail
ravelin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
check="python3 $here/tone_check.py"
source "$here/../support/services.sh"
start_pulseaudio
start_xvfb

record() {  # file; starts parec in the background, its PID in $rec_pid
  parec -d nullsink.monitor --format=s16le --rate=22050 --channels=1 --latency-msec=20 >"$1" &
  rec_pid=$!
  pids+=("$rec_pid")
  sleep 0.5
}
stop_recording() {
  sleep 0.5
  kill -TERM "$rec_pid" 2>/dev/null || true
  wait "$rec_pid" 2>/dev/null || true
}
seconds_of() { python3 -c "import os,sys; print(os.path.getsize(sys.argv[1]) / 44100)" "$1"; }
after() { python3 -c "import sys; print(float(sys.argv[1]) + float(sys.argv[2]))" "$1" "$2"; }

fail=0
alarm="--input sim:6000 --seed 1 --sensitivity 1 --no-log"

echo "== stage 1 with its own file, in the window: loops after Stop, until Command2"
mkdir "$work/own" && cd "$work/own"
$check tone daiichi.wav 440 0.4
record "$work/own.raw"
# Capture stops after 3 s (the sound goes on), so no later second fires the stage again.
"$ravelin" $alarm --alarm1 0.27 --seconds 3 --start >"$work/own.log" 2>&1 &
app=$!
pids+=("$app")
window=$(find_main_window)
sleep 6
clicked=$(seconds_of "$work/own.raw")
# Command2: 288,224 and 49 x 17 pixels in the window.
xdotool mousemove --window "$window" 312 232 click 1
sleep 3
kill -TERM "$app"
wait "$app" || { echo "the window ended with status $?"; fail=1; }
stop_recording
# The 0.4-s file sounds in every window of the 3 s before the click: it loops.
$check check "$work/own.raw" 440 "$(after "$clicked" -3.2)" "$(after "$clicked" -0.2)" 0.9 1 || fail=1
$check check "$work/own.raw" 440 "$(after "$clicked" 0.6)" "$(after "$clicked" 2.6)" 0 0 || fail=1
[ -f ~Record.tmp ] && { echo "the scratch file is left"; fail=1; }

echo "== stage 1 with a 4-byte daiichi.wav, headless: the own stage-1 sound"
mkdir "$work/tiny" && cd "$work/tiny"
printf 'RIFF' >daiichi.wav
record "$work/tiny.raw"
timeout 30 "$ravelin" --headless $alarm --alarm1 0.27 --seconds 5 >/dev/null 2>"$work/tiny.err" || { echo "status $?"; fail=1; }
stop_recording
cat "$work/tiny.err"
grep -q "alarm sound daiichi.wav cannot be played; playing the built-in sound" "$work/tiny.err" || fail=1
# 880 Hz a quarter second on and off, and nothing of the stage-2 sound.
$check check "$work/tiny.raw" 880 2.5 5 0.3 0.85 || fail=1
$check check "$work/tiny.raw" 1320 2.5 5 0 0 || fail=1

echo "== stage 2 with daini.wav missing, headless: the own stage-2 sound"
mkdir "$work/missing" && cd "$work/missing"
record "$work/missing.raw"
timeout 30 "$ravelin" --headless $alarm --alarm2 0.5 --seconds 5 >/dev/null 2>"$work/missing.err" || { echo "status $?"; fail=1; }
stop_recording
cat "$work/missing.err"
grep -q "alarm sound daini.wav cannot be played; playing the built-in sound" "$work/missing.err" || fail=1
# Eighths of a second of each tone: both sound in most 100-ms windows.
$check check "$work/missing.raw" 1320 2.5 5 0.5 1 || fail=1
$check check "$work/missing.raw" 660 2.5 5 0.5 1 || fail=1
$check check "$work/missing.raw" 880 2.5 5 0 0 || fail=1

[ "$fail" -eq 0 ] && echo "alarm sound: all checks passed"
exit "$fail"
