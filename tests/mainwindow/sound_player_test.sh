#!/usr/bin/env bash
# The alarm player's tests with a sound server of their own, so that they play for real.
# Usage: sound_player_test.sh MAINWINDOW_TESTS
set -euo pipefail
tests=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
start_pulseaudio
status=0
RAVELIN_EXPECT_AUDIO=1 QT_QPA_PLATFORM=offscreen "$tests" --gtest_filter='AlarmPlayer.*' || status=$?
exit "$status"
