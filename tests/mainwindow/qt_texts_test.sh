#!/usr/bin/env bash
# Runs the Qt-texts window test under an Xvfb of its own, in the C locale, with a private
# home whose configuration folder holds a file dialog history of another program: the
# dialog must neither show it nor write anything, before or after.
# Usage: qt_texts_test.sh MAINWINDOW_QT_TEXTS
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
start_xvfb

mkdir -p "$work/home/.config" "$work/app"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config LANG=C LC_ALL=C
unset LANGUAGE
cat >"$XDG_CONFIG_HOME/QtProject.conf" <<CONF
[FileDialog]
history=file://$work/elsewhere
lastVisited=file://$work/elsewhere
CONF
mkdir "$work/elsewhere"
before=$(cd "$work/home" && find . -printf '%p %s %T@\n' | sort)
fail=0
(cd "$work/app" && "$program") || fail=1
after=$(cd "$work/home" && find . -printf '%p %s %T@\n' | sort)
if [ "$before" != "$after" ]; then
  echo "the home folder changed:"
  diff <(echo "$before") <(echo "$after") || true
  fail=1
fi
[ "$fail" -eq 0 ] && echo "Qt texts: all checks passed"
exit "$fail"
