#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the icons as the build makes them.
# Usage: desktop_files_test.sh SHARE_DIR APP_ID "ICON_SIZES"
set -euo pipefail
export LC_ALL=C.UTF-8
share=$1 id=$2 sizes=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop=$share/applications/ravelin.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out" >&2; fail "desktop-file-validate"; }
# Only hints are allowed (two main categories draw one); anything else is a fault.
bad=$(grep -v ': hint: ' <<<"$out" || true)
[ -z "$bad" ] || { echo "$bad" >&2; fail "desktop-file-validate"; }
# A key of the [Desktop Entry] group (the actions' groups have keys of the same names).
key() { sed -n "/^\[Desktop Entry\]/,/^\[Desktop Action/s/^$1=//p" "$desktop"; }
[ "$(key Categories)" = "Science;Utility;" ] || fail "Categories is '$(key Categories)'"
[ "$(key Name)" = "Ravelin" ] || fail "Name is '$(key Name)'"
key 'Name\[ja\]' | grep -q -P '[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]' || fail "Name[ja] has no Japanese: '$(key 'Name\[ja\]')'"
[ "$(key Exec)" = "ravelin" ] || fail "Exec is '$(key Exec)'"
[ "$(key Icon)" = "ravelin" ] || fail "Icon is '$(key Icon)'"
# The two actions, each with an English and a Japanese name and its command.
[ "$(key Actions)" = "calibrate;history;" ] || fail "Actions is '$(key Actions)'"
for action in "calibrate:ravelin --calibrate" "history:ravelin --history"; do
  group=$(sed -n "/^\[Desktop Action ${action%%:*}\]/,/^\[/p" "$desktop")
  [ "$(sed -n 's/^Exec=//p' <<<"$group")" = "${action#*:}" ] || fail "action ${action%%:*} runs '$(sed -n 's/^Exec=//p' <<<"$group")'"
  grep -q '^Name=[A-Za-z]' <<<"$group" || fail "action ${action%%:*} has no English name"
  sed -n 's/^Name\[ja\]=//p' <<<"$group" | grep -q -P '[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]' ||
    fail "action ${action%%:*} has no Japanese name"
done

metainfo=$share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q '<launchable type="desktop-id">ravelin.desktop</launchable>' "$metainfo" || fail "no launchable"
grep -q '<binary>ravelin</binary>' "$metainfo" || fail "does not provide the binary"
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "project licence is not MIT"

# Every icon size exists, is a PNG of that size, and is drawn (not one flat colour).
grep -q '<svg' "$share/icons/hicolor/scalable/apps/ravelin.svg" || fail "no scalable icon"
for s in $sizes; do
  png=$share/icons/hicolor/${s}x${s}/apps/ravelin.png
  [ -f "$png" ] || fail "no ${s}x${s} icon"
  file -b "$png" | grep -q "^PNG image data, $s x $s," || fail "$png: $(file -b "$png")"
  [ "$(stat -c %s "$png")" -gt 200 ] || fail "$png is too small to hold a drawing"
done
echo "ok: desktop entry, metainfo and $(wc -w <<<"$sizes") icon sizes"
