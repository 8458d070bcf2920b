# Starts PulseAudio (a null sink with a source on its monitor) and Xvfb in folders
# of the calling test's own, and stops them by PID at exit. Sourced by the scripts.

work=$(mktemp -d)
pids=()

stop_services() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_services EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tries=$1
  shift
  until "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

start_pulseaudio() {
  mkdir -p "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
  export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
  unset PULSE_SERVER PULSE_SINK PULSE_SOURCE
  cat >"$work/pulse.pa" <<'PA'
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=nullsink norewinds=1
load-module module-remap-source source_name=qtmic master=nullsink.monitor
set-default-sink nullsink
set-default-source qtmic
PA
  pulseaudio --daemonize=no -n -F "$work/pulse.pa" --exit-idle-time=-1 --realtime=no --high-priority=no \
    >"$work/pulse.log" 2>&1 &
  pids+=($!)
  wait_for 100 pactl info || { cat "$work/pulse.log" >&2; echo "PulseAudio did not start" >&2; return 1; }
}

start_xvfb() {
  Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp -noreset 9>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$(head -n1 "$work/display")
  wait_for 100 xdpyinfo || { echo "Xvfb does not answer" >&2; return 1; }
}

# The window of a process with the main window's caption, waiting up to 15 s.
find_main_window() {
  local id tries=150
  while [ "$tries" -gt 0 ]; do
    id=$(xdotool search --name '^Ravelin V1\.4$' 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    tries=$((tries - 1))
    sleep 0.1
  done
  return 1
}
