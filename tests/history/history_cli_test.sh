#!/usr/bin/env bash
# The history's command line end to end: --summary of a folder with several runs, a torn
# last line and foreign lines; --export to PNG and SVG without a display; the exit
# statuses; the logs never written to.
# Usage: history_cli_test.sh path/to/ravelin
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_status() {  # status, arguments...
  local want=$1; shift
  env -u DISPLAY -u WAYLAND_DISPLAY "$program" "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "ravelin $* exited $got, not $want: $(cat "$work/err")"
}

logs=$work/logs
mkdir "$logs"
printf '"2024/05/01","10:00",0.1\r\n"2024/05/01","10:01",0.2\r\nforeign line\r\n"2024/05/01","10:00",0.3\r\n' \
  >"$logs/μSVHData20240501.csv"
printf '"2024/05/03","00:00",0.0625\r\n"2024/05/03","00:01",0.06' >"$logs/μSVHData20240503.csv"
printf 'a note\n' >"$logs/readme.txt"
python3 "$here/make_logs.py" "$logs" --days 2 --start 2024-05-05 --seed 3
before=$(cd "$logs" && sha256sum ./* | sort)

expect_status 0 --history "$logs" --summary
head -4 "$work/out" >"$work/head"
printf 'date,records,mean,min,max\n2024-05-01,3,0.200,0.1,0.3\n2024-05-03,1,0.062,0.0625,0.0625\n' >"$work/want"
diff -u "$work/want" <(head -3 "$work/out") || fail "summary lines"
[ "$(wc -l <"$work/out")" -eq 5 ] || fail "summary has $(wc -l <"$work/out") lines, not 5"
grep -q '^2024-05-05,' "$work/out" || fail "no line for 2024-05-05"
grep -qx 'ravelin: skipped μSVHData20240501.csv line 3: not a record' "$work/err" || fail "foreign line not reported"
grep -qx 'ravelin: skipped μSVHData20240503.csv line 2: torn (no line end)' "$work/err" || fail "torn line not reported"
[ "$(grep -c skipped "$work/err")" -eq 2 ] || fail "skipped lines: $(cat "$work/err")"

expect_status 0 --history "$logs" --export "$work/week.png" --from 2024-05-01 --to 2024-05-06
python3 - "$work/week.png" <<'PY' || fail "the PNG is not 1200 x 600"
import struct, sys
data = open(sys.argv[1], 'rb').read(24)
assert data[:8] == b'\x89PNG\r\n\x1a\n' and struct.unpack('>II', data[16:24]) == (1200, 600)
PY
expect_status 0 --history "$logs" --export "$work/week.SVG"
grep -q '<svg' "$work/week.SVG" || fail "no SVG written"

expect_status 1 --history "$work/missing" --summary
expect_status 1 --history "$logs" --export "$work/missing/x.png"
expect_status 1 --history "$logs"   # the window without a display
expect_status 2 --history "$logs" --export "$work/x.jpg"
expect_status 2 --history "$logs" --export "$work/x.png" --from 2024-13-01
expect_status 2 --history "$logs" --export "$work/x.png" --from 2024-05-02 --to 2024-05-01
expect_status 2 --history "$logs" --summary --export "$work/x.png"
expect_status 2 --history "$logs" --summary --headless
expect_status 2 --history "$logs" --summary --alarm2 x
expect_status 2 --history "$logs" "$work" --summary
expect_status 2 --summary
expect_status 2 --export "$work/x.png"
[ ! -e "$work/x.png" ] || fail "a refused export wrote its file"

[ "$(cd "$logs" && sha256sum ./* | sort)" = "$before" ] || fail "the logs were changed"
if [ "$failures" -eq 0 ]; then echo "history command line: 1 passed, 0 failed"; exit 0; fi
echo "history command line: 0 passed, 1 failed ($failures checks)"; exit 1
