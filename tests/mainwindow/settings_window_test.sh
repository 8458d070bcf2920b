#!/usr/bin/env bash
# The 設定 window driven as a person would, under Xvfb with xdotool, the only option being
# --input file:REC: pick SBM-20, run the setup assistant on REC and accept it, choose the
# log folder with 保存先, 開始, see the readouts move, 保存. Started again with the same
# --input alone, the saved settings are in force: the log's records are those of a
# headless replay with the same settings. 既定に戻す removes the file. Screenshots of the
# 設定 window and the assistant's result go to SHOTS.
# Usage: settings_window_test.sh RAVELIN MAKE_WAVS_DIR SHOTS
set -euo pipefail
program=$(realpath "$1")
capture=$(realpath "$2")
shots=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
start_xvfb
mkdir -p "$work/home/.config" "$work/app" "$work/logs" "$work/replay" "$shots"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
conf=$XDG_CONFIG_HOME/ravelin/ravelin.conf
rec=$work/rec.wav
# 64 s of 30 pulses a second that rise instead of dip: the assistant proposes 極性反転.
python3 - "$capture" "$rec" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import make_wavs
make_wavs.write_wav(sys.argv[2], bytes(255 - v for v in make_wavs.recording([30] * 64)))
PY

fail() {
  echo "FAIL: $*" >&2
  import -window root "$work/fail.png" 2>/dev/null && cp "$work/fail.png" "$shots/settings-failure.png" || true
  cat "$work/ravelin.log" >&2 2>/dev/null || true
  exit 1
}
# The visible windows whose caption is exactly $1 (xdotool's own match ignores case).
windows_named() {
  local id
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null || true); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
  return 0
}
# The newest such window, waiting up to 15 s.
window_named() {
  local id tries=150
  while [ "$tries" -gt 0 ]; do
    id=$(windows_named "$1" | tail -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    tries=$((tries - 1))
    sleep 0.1
  done
  return 1
}
# True once no visible window has caption $1, waiting up to 5 s.
gone() {
  local tries=50
  while [ -n "$(windows_named "$1")" ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
keys() { xdotool windowfocus --sync "$1" 2>/dev/null || true; sleep 0.2; shift; xdotool key --delay 80 "$@"; sleep 0.3; }
readouts() { import -window "$main" -crop 240x140+0+0 "$1" 2>/dev/null; }
# Waits until the day's log file of FOLDER holds N records, up to $3 seconds.
wait_records() {
  local tries=$(($3 * 10))
  while [ "$tries" -gt 0 ]; do
    [ "$(cat "$1"/μSVHData*.csv 2>/dev/null | grep -c . || true)" -ge "$2" ] && return 0
    tries=$((tries - 1))
    sleep 0.1
  done
  return 1
}

start_window() {
  (cd "$work/app" && "$program" --input "file:$rec") >"$work/ravelin.log" 2>&1 &
  ravelin=$!
  main=$(find_main_window) || fail "no main window"
  xdotool windowmove "$main" 0 0
  sleep 0.5
}
open_settings() {
  click "$main" 430 354
  settings=$(window_named '設定 — Ravelin') || fail "the 設定 button opened no window"
  xdotool windowmove "$settings" 460 0
  sleep 0.5
}
stop_window() {
  kill -TERM "$ravelin"
  wait "$ravelin" || fail "the window ended with status $?"
}

# --- First run: set everything up from the window.
start_window
open_settings
keys "$settings" alt+g
xdotool type --delay 80 "SBM-20"
sleep 0.5
import -window "$settings" "$shots/settings-window.png"

keys "$settings" alt+a
result=$(window_named セットアップアシスタントの結果) || fail "the assistant showed no result"
sleep 0.5
import -window "$result" "$shots/assistant-result.png"
keys "$result" Return
gone セットアップアシスタントの結果 || fail "適用 did not close the result"

click "$main" 192 291
dialog=$(window_named 収集データ保存フォルダ) || fail "保存先 opened no dialog"
keys "$dialog" ctrl+a
xdotool type --delay 30 "$work/logs/log.csv"
keys "$dialog" Return
told=$(window_named Ravelin) || fail "no message with the folder"
keys "$told" Return

click "$main" 304 172
readouts "$work/r1.png"
sleep 3
readouts "$work/r2.png"
[ "$(compare -metric AE "$work/r1.png" "$work/r2.png" null: 2>&1 || true)" != "0" ] || fail "the readouts did not move"
wait_records "$work/logs" 1 90 || fail "no log record after a minute"
keys "$settings" alt+s
[ -f "$conf" ] || fail "保存 wrote no $conf"
# The assistant's proposal as the command line's assistant makes it: "--threshold T --dead-band D --skip K --invert".
read -r _ threshold _ deadband _ skip invert < <("$program" --headless --calibrate --input "file:$rec" 2>/dev/null)
[ "$invert" = "--invert" ] || fail "the command line's assistant proposes no --invert"
for line in "sensitivity = 18.06" "threshold = $threshold" "dead-band = $deadband" "skip = $skip" "invert = true" \
            "log-folder = $work/logs/" "input = file:$rec"; do
  grep -qxF "$line" "$conf" || { cat "$conf" >&2; fail "no '$line' in the saved file"; }
done
stop_window

# --- Second run: only --input; the saved settings are in force, a bad line is said and skipped.
rm -f "$work/logs"/*.csv
echo "colour = red" >>"$conf"
bad=$(wc -l <"$conf")
start_window
grep -qF "ravelin: $conf:$bad: \"colour\" is not a setting of the configuration file" "$work/ravelin.log" ||
  fail "the bad line was not reported"
click "$main" 304 172
wait_records "$work/logs" 1 90 || fail "no log record after a minute in the second run"
open_settings
keys "$settings" alt+d
[ ! -e "$conf" ] || fail "既定に戻す left $conf"
stop_window

# The record is the one a headless replay with the saved settings writes.
"$program" --headless --fast --input "file:$rec" --invert --sensitivity 18.06 --threshold "$threshold" \
  --dead-band "$deadband" --skip "$skip" --log-folder "$work/replay" >/dev/null
expected=$(head -n1 "$work/replay"/μSVHData*.csv | cut -d, -f3)
got=$(head -n1 "$work/logs"/μSVHData*.csv | cut -d, -f3)
[ -n "$expected" ] && [ "$got" = "$expected" ] || fail "the record's dose is '$got', the replay's '$expected'"
echo "settings window: all checks passed"
