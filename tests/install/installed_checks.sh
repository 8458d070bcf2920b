# Checks on an installed tree, shared by the prefix and the package tests (sourced).
# The caller sets `scratch` (a mktemp folder) and a trap that calls stop_pulse.

fail() { echo "FAIL: $*" >&2; exit 1; }

# The files an installation holds, relative to its prefix; share/ravelin may hold more.
expected_files() {
  cat <<'LIST'
bin/ravelin
lib/systemd/system/ravelin.service
share/applications/ravelin.desktop
share/doc/ravelin/changelog.gz
share/doc/ravelin/copyright
share/doc/ravelin/README.md
share/doc/ravelin/docs/assistant-result.png
share/doc/ravelin/docs/calibration-result.png
share/doc/ravelin/docs/history-window.png
share/doc/ravelin/docs/main-window.png
share/doc/ravelin/docs/manual.md
share/doc/ravelin/docs/settings-window.png
share/doc/ravelin/docs/web-page-phone.png
share/doc/ravelin/examples/pulseaudio-system.service
share/icons/hicolor/128x128/apps/ravelin.png
share/icons/hicolor/16x16/apps/ravelin.png
share/icons/hicolor/256x256/apps/ravelin.png
share/icons/hicolor/32x32/apps/ravelin.png
share/icons/hicolor/48x48/apps/ravelin.png
share/icons/hicolor/64x64/apps/ravelin.png
share/icons/hicolor/scalable/apps/ravelin.svg
share/man/man1/ravelin.1.gz
share/metainfo/org.ravelinmonitor.ravelin.metainfo.xml
share/ravelin/sounds/alarm1.wav
share/ravelin/sounds/alarm2.wav
LIST
}

check_file_list() {
  local prefix=$1 got want
  got=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
  want=$(expected_files | LC_ALL=C sort)
  # Extra data files are the program's business; everything else must be as listed.
  local missing extra
  missing=$(LC_ALL=C comm -13 <(echo "$got") <(echo "$want"))
  # The settings file is under etc/ of the prefix, or in /etc for the package: checked by the caller.
  extra=$(LC_ALL=C comm -23 <(echo "$got") <(echo "$want") | grep -v -e '^share/ravelin/' -e '^etc/ravelin/station\.conf$' || true)
  [ -z "$missing" ] || fail "missing from $prefix: $missing"
  [ -z "$extra" ] || fail "unexpected in $prefix: $extra"
  [ -x "$prefix/bin/ravelin" ] || fail "bin/ravelin is not executable"
  for w in "$prefix"/share/ravelin/sounds/alarm{1,2}.wav; do
    file -b "$w" | grep -q 'WAVE audio' || fail "$w: $(file -b "$w")"
  done
  zcat "$prefix/share/man/man1/ravelin.1.gz" | grep -q '^\.TH RAVELIN 1' || fail "the manual page is not troff"
}

check_runs() {
  local bin=$1 version=$2 out lines
  out=$("$bin" --version)
  [ "$out" = "ravelin $version" ] || fail "installed --version printed '$out'"
  mkdir -p "$scratch/work"
  out=$(cd "$scratch/work" && "$bin" --headless --fast --input sim --seed 1 --seconds 5 --sensitivity 29 --no-log \
         2>"$scratch/run.err") || { cat "$scratch/run.err" >&2; fail "the installed headless run ended with $?"; }
  lines=$(grep -c . <<<"$out" || true)
  [ "$lines" -ge 5 ] || fail "the installed headless run printed $lines lines: $out"
  [ -z "$(ls -A "$scratch/work")" ] || fail "--no-log run left files: $(ls -A "$scratch/work")"
}

# A PulseAudio server of our own with a null sink, so that a playing sound shows as a stream.
start_pulse() {
  mkdir -p "$scratch/pulse/run" "$scratch/pulse/home"
  XDG_RUNTIME_DIR=$scratch/pulse/run HOME=$scratch/pulse/home \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -F /dev/null \
    --load="module-native-protocol-unix socket=$scratch/pulse/native auth-anonymous=1" \
    --load="module-null-sink sink_name=speaker" --load="module-null-source source_name=mic" \
    >"$scratch/pulse/log" 2>&1 </dev/null &
  pulse_pid=$!
  export PULSE_SERVER=unix:$scratch/pulse/native
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$pulse_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$scratch/pulse/log" >&2
  fail "PulseAudio did not answer"
}

stop_pulse() {
  if [ -n "${pulse_pid:-}" ]; then
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
    pulse_pid=
  fi
}

# Runs an alarm from a folder without daiichi.wav, so the program falls back to its own
# sound; prints "played" when a ravelin stream reached the sink.
alarm_played() {
  local bin=$1 run_pid played=no
  mkdir -p "$scratch/alarm"
  (cd "$scratch/alarm" && exec "$bin" --headless --input sim:600 --seed 1 --seconds 4 --sensitivity 29 \
     --no-log --alarm1 0.001 >"$scratch/alarm/out" 2>"$scratch/alarm/err" </dev/null) &
  run_pid=$!
  while kill -0 "$run_pid" 2>/dev/null; do
    if pactl list sink-inputs 2>/dev/null | grep -q 'application.process.binary = "ravelin"'; then played=yes; fi
    sleep 0.2
  done
  wait "$run_pid" || { cat "$scratch/alarm/err" >&2; fail "the alarm run ended with $?"; }
  echo "$played"
}

# The installed program finds its own alarm sounds, and the check can tell when it does not.
check_finds_sounds() {
  local prefix=$1
  [ "$(alarm_played "$prefix/bin/ravelin")" = yes ] || { cat "$scratch/alarm/err" >&2; fail "no alarm sound played from $prefix"; }
  mv "$prefix/share/ravelin" "$prefix/share/ravelin.hidden"
  local played
  played=$(alarm_played "$prefix/bin/ravelin")
  mv "$prefix/share/ravelin.hidden" "$prefix/share/ravelin"
  [ "$played" = no ] || fail "a sound played with the data folder hidden: the check proves nothing"
}
