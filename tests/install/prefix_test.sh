#!/usr/bin/env bash
# `cmake --install` of a build under an unusual prefix: the file list, and the installed
# program runs and finds its own data from there.
# Usage: prefix_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/installed_checks.sh"
scratch=$(mktemp -d)
trap 'stop_pulse; rm -rf "$scratch"' EXIT

prefix=$scratch/opt/ravelin-test
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log" >&2; fail "cmake --install"; }
check_file_list "$prefix"
[ -f "$prefix/etc/ravelin/station.conf" ] || fail "no etc/ravelin/station.conf under $prefix"
check_runs "$prefix/bin/ravelin" "$version"
start_pulse
check_finds_sounds "$prefix"
echo "ok: installed under $prefix, runs and finds its sounds"
