#!/usr/bin/env bash
# The Debian package: scripts/package builds it in a folder of its own; it is unpacked
# into a scratch root with dpkg -x, its control data and file list are checked, the
# program is run from there, and lintian finds no error in it.
# Usage: package_test.sh SOURCE_DIR PACKAGE_BUILD_DIR VERSION
set -euo pipefail
top=$1 build=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/installed_checks.sh"
scratch=$(mktemp -d)
trap 'stop_pulse; rm -rf "$scratch"' EXIT

# The test installs nothing: scripts/test has installed the dependencies already.
deb=$("$top/scripts/package" --no-deps "$build" 2>"$scratch/package.log") || { tail -50 "$scratch/package.log" >&2; fail "scripts/package"; }
[ -f "$deb" ] || fail "scripts/package printed '$deb', which is no file"
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "ravelin_${version}_${arch}.deb" ] || fail "package file is named $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ravelin ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[[ "$(field Maintainer)" == "Ravelin developers <"*@*">" ]] || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
# Found from the program's links, and the ones added by hand.
for d in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6multimedia6 libsndfile1 libmosquitto1 \
         qt6-qpa-plugins qt6-translations-l10n fonts-ipafont-gothic libpulse0 adduser; do
  grep -qE "(^|, | \| )${d//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done

dpkg-deb -x "$deb" "$scratch/root"
# Owned by root, folders 0755, files 0644 but the program 0755.
bad=$(dpkg-deb -c "$deb" | awk '$2 != "root/root" { print }')
[ -z "$bad" ] || fail "files not owned by root: $bad"
bad=$(cd "$scratch/root" && find . \( -type d ! -perm 0755 \) -o \( -type f ! -path ./usr/bin/ravelin ! -perm 0644 \))
[ -z "$bad" ] || fail "wrong permissions: $bad"
file -b "$scratch/root/usr/bin/ravelin" | grep -q ', stripped' || fail "the program is not stripped"
zcat "$scratch/root/usr/share/doc/ravelin/changelog.gz" | head -1 | grep -qF "ravelin ($version)" || fail "changelog is not for $version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$scratch/root/usr/share/doc/ravelin/copyright" || fail "the copyright file is not machine-readable"

check_file_list "$scratch/root/usr"

# The station service: the unit, its settings file as the one conffile, the scripts that make its user.
outside=$(cd "$scratch/root" && find . \( -type f -o -type l \) ! -path './usr/*')
[ "$outside" = ./etc/ravelin/station.conf ] || fail "files outside /usr: $outside"
dpkg-deb -e "$deb" "$scratch/control"
[ "$(cat "$scratch/control/conffiles")" = /etc/ravelin/station.conf ] || fail "conffiles: $(cat "$scratch/control/conffiles")"
for s in postinst prerm postrm; do
  [ "$(stat -c %a "$scratch/control/$s")" = 755 ] || fail "$s is missing or not 0755"
  sh -n "$scratch/control/$s" || fail "$s is not a shell script"
done
grep -q 'adduser --system --group .*--home /var/lib/ravelin' "$scratch/control/postinst" || fail "postinst makes no ravelin user"
unit=$scratch/root/usr/lib/systemd/system/ravelin.service
grep -qx 'ExecStart=/usr/bin/ravelin --headless --config /etc/ravelin/station.conf' "$unit" || fail "the unit's ExecStart"
! grep -qE 'enable|start' "$scratch/control/postinst" || fail "postinst enables or starts the unit"
# systemd-analyze verify against the unpacked root (with the system's own units beside ours): not a word.
mkdir -p "$scratch/verify"
cp -a "$scratch/root/." "$scratch/verify/"
cp -an /usr/lib/systemd/system/. "$scratch/verify/usr/lib/systemd/system/"
mkdir -p "$scratch/verify/etc/systemd/system"
cp "$scratch/root/usr/share/doc/ravelin/examples/pulseaudio-system.service" "$scratch/verify/etc/systemd/system/"
cp /usr/bin/pulseaudio "$scratch/verify/usr/bin/"
verify=$(MANPATH=$scratch/root/usr/share/man:/usr/share/man \
         systemd-analyze verify --root="$scratch/verify" ravelin.service pulseaudio-system.service 2>&1) ||
  fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
# The settings file as shipped is taken, and the command line wins over it.
mkdir -p "$scratch/station"
out=$("$scratch/root/usr/bin/ravelin" --headless --config "$scratch/root/etc/ravelin/station.conf" --input sim --fast \
      --seed 1 --seconds 60 --sensitivity 29 --log-folder "$scratch/station" 2>"$scratch/station.err") ||
  { cat "$scratch/station.err" >&2; fail "the shipped station.conf was refused"; }
[ "$(ls "$scratch/station" | grep -c '\.csv$')" = 1 ] || fail "no CSV log in the command line's folder: $(ls "$scratch/station")"
check_runs "$scratch/root/usr/bin/ravelin" "$version"
start_pulse
check_finds_sounds "$scratch/root/usr"

# lintian: errors fail the test; warnings and below are shown.
rc=0
lintian --no-tag-display-limit --display-level '>=pedantic' "$deb" >"$scratch/lintian" 2>&1 || rc=$?
grep -E '^[EWIP]: ' "$scratch/lintian" || true
[ "$rc" -le 1 ] || { cat "$scratch/lintian" >&2; fail "lintian could not check the package"; }
! grep -q '^E: ' "$scratch/lintian" || fail "lintian reports errors"
echo "ok: $(basename "$deb"), $(stat -c %s "$deb") bytes, Depends: $depends"
