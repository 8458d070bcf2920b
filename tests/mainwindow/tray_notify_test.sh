#!/usr/bin/env bash
# The tray icon and the desktop notification, under Xvfb with trayer as the tray host and
# on a private session bus: the icon is embedded in the tray, and a stage that fires
# sends a freedesktop Notify call, seen by dbus-monitor.
# Usage: tray_notify_test.sh RAVELIN MAKE_WAVS_DIR
set -euo pipefail
program=$(realpath "$1")
capture=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
start_xvfb
mkdir -p "$work/home/.config" "$work/app"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
python3 - "$capture" "$work/rec.wav" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import make_wavs
make_wavs.write_wav(sys.argv[2], make_wavs.recording([30] * 20))
PY

# Everything on the private bus runs in one script, which stops what it started.
cat >"$work/on_bus.sh" <<'BUS'
set -euo pipefail
work=$1 program=$2
trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
  --SetDockType false >"$work/trayer.log" 2>&1 &
tray=$!
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications'" >"$work/monitor.log" 2>&1 &
monitor=$!
trap 'kill "$tray" "$monitor" 2>/dev/null || true' EXIT
for _ in $(seq 100); do xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")' && break; sleep 0.1; done
(cd "$work/app" && "$program" --input "file:$work/rec.wav" --sensitivity 18.06 --alarm1 0.01 --start --no-log) \
  >"$work/ravelin.log" 2>&1 &
ravelin=$!
status=1
for _ in $(seq 150); do
  # The icon is a window of the program somewhere under the tray's panel.
  panel=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "panel": ("panel" "trayer").*/\1/p' | head -n1)
  if grep -q 'member=Notify' "$work/monitor.log" && [ -n "$panel" ] && xwininfo -tree -id "$panel" >"$work/tree.txt" &&
     grep -q '("ravelin" "ravelin")' "$work/tree.txt"; then
    status=0
    break
  fi
  sleep 0.2
done
kill -TERM "$ravelin"
wait "$ravelin" || status=1
exit "$status"
BUS
fail=0
dbus-run-session -- bash "$work/on_bus.sh" "$work" "$program" 2>"$work/bus.log" || fail=1
if [ "$fail" -ne 0 ]; then
  echo "no tray icon or no Notify call:"
  cat "$work/monitor.log" "$work/ravelin.log" "$work/tree.txt" 2>/dev/null || true
  exit 1
fi
# The call names the stage, the dose and the limit.
grep -A5 'member=Notify' "$work/monitor.log" | grep -q 'string "第一段警報"' || { cat "$work/monitor.log"; exit 1; }
grep -A5 'member=Notify' "$work/monitor.log" | grep -q '第一段警報上限値 0.01 µSv/h を超えました' || {
  cat "$work/monitor.log"
  exit 1
}
echo "tray and notification: all checks passed"
