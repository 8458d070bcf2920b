#!/usr/bin/env bash
# The window under Xvfb, worked as a person would: type a sensitivity into the
# GM菅γ線感度 box, click 開始, see the elapsed seconds count, take a screenshot,
# and end the program with SIGTERM.
# Usage: xvfb_smoke_test.sh RAVELIN SCREENSHOT.png
set -euo pipefail
ravelin=$(realpath "$1")
shot=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
start_xvfb

fail=0
mkdir "$work/app" && cd "$work/app"
"$ravelin" --input sim:120 --seed 7 >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
window=$(find_main_window) || { echo "no window captioned Ravelin V1.4"; cat "$work/app.log"; exit 1; }
sleep 1

size=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
echo "window $window, $size"
[ "$size" = "452x364" ] || { echo "the client area is not 452 x 364"; fail=1; }

# Pixel rectangles from the design table: Text1, Text7, cmdRec.
text1="113x25+120+16"
import -window "$window" -crop "$text1" +repage "$work/text1-before.png"
xdotool mousemove --window "$window" 408 33 click 1
sleep 0.3
xdotool type --delay 50 "29"
xdotool mousemove --window "$window" 304 172 click 1
sleep 3
import -window "$window" -crop "$text1" +repage "$work/text1-a.png"
sleep 2
import -window "$window" -crop "$text1" +repage "$work/text1-b.png"
import -window root -crop 452x364+0+0 +repage "$shot"

differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]; }
if differs "$work/text1-before.png" "$work/text1-a.png" && differs "$work/text1-a.png" "$work/text1-b.png"; then
  echo "Text1 counts"
else
  echo "Text1 does not count: the sensitivity was not typed or Start did not start"
  fail=1
fi
# Text8 draws the dose in pure red.
red=$(convert "$shot" -crop 113x25+120+120 +repage -fill black +opaque 'rgb(255,0,0)' -fill white -opaque 'rgb(255,0,0)' \
  -format '%[fx:round(mean*w*h)]' info:)
echo "red pixels in Text8: $red"
[ "$red" -gt 20 ] || fail=1

kill -TERM "$app"
status=0
timeout 10 tail --pid="$app" -f /dev/null || { echo "the program did not end on SIGTERM"; fail=1; }
wait "$app" || status=$?
echo "exit status $status"
[ "$status" -eq 0 ] || fail=1
[ ! -e "$work/app/~Record.tmp" ] || { echo "the scratch file is left"; fail=1; }

echo "screenshot: $shot"
[ "$fail" -eq 0 ] && echo "xvfb smoke: all checks passed"
exit "$fail"
