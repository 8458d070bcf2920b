#!/usr/bin/env bash
# --version prints the program's name and the project's one version, and nothing else.
# Usage: version_test.sh RAVELIN VERSION
set -euo pipefail
bin=$1 version=$2
out=$("$bin" --version)
[ "$out" = "ravelin $version" ] || { echo "--version printed '$out', not 'ravelin $version'" >&2; exit 1; }
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "version '$version' is not major.minor.patch" >&2; exit 1; }
# --version wins over a window: it needs no display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$bin" --version --start)
[ "$out" = "ravelin $version" ] || { echo "--version --start printed '$out'" >&2; exit 1; }
echo "ok: $out"
