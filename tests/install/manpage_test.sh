#!/usr/bin/env bash
# The manual page and --help list the same options with the same texts.
# Usage: manpage_test.sh RAVELIN MANPAGE
set -euo pipefail
export LC_ALL=C.UTF-8
bin=$1 page=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

help=$("$bin" --help)
# Rendered as a reader sees it: no hyphenation, no justification, one long line per paragraph.
text=$(MANWIDTH=1000 man --nh --nj -E UTF-8 -l "$page" 2>&1 | col -b)
grep -q '^NAME' <<<"$text" || fail "man could not render $page: $text"
flat=$(tr -s ' \n' '  ' <<<"$text")

# The options --help lists: "  --name [VALUE]  help", help text on the next line when the left part is long.
mapfile -t heads < <(grep -E '^  --[a-z0-9-]+' <<<"$help" | sed -E 's/^  (--[a-z0-9-]+( [A-Z]+)?).*/\1/')
[ "${#heads[@]}" -ge 10 ] || fail "only ${#heads[@]} options in --help"
for h in "${heads[@]}"; do
  grep -qE "^ +${h}( |$)" <<<"$text" || fail "'$h' from --help is not an option in the manual page"
done
# Every help text, whitespace aside, is in the manual page.
while IFS= read -r line; do
  words=$(sed -E 's/^ +--[a-z0-9-]+( [A-Z]+)? *//; s/^ +//' <<<"$line" | tr -s ' ')
  [ -n "$words" ] || continue
  grep -qF -- "$words" <<<"$flat" || fail "help text '$words' is not in the manual page"
done < <(sed -n '/^Options:/,/^$/p' <<<"$help" | tail -n +2)
# So is every exit status.
while IFS= read -r line; do
  meaning=$(sed -E 's/^ +[0-9]+ +//' <<<"$line" | tr -s ' ')
  grep -qF -- "$meaning" <<<"$flat" || fail "exit status '$line' is not in the manual page"
done < <(sed -n '/^Exit status:/,$p' <<<"$help" | tail -n +2)
grep -q '^Exit status:' <<<"$help" || fail "--help gives no exit statuses"
# And nothing more: the manual page lists no option --help lacks.
mapfile -t pageheads < <(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$text" | grep -E '^ {7}--' | sed -E 's/^ +(--[a-z0-9-]+( [A-Z]+)?).*/\1/')
[ "${#pageheads[@]}" -eq "${#heads[@]}" ] || fail "${#pageheads[@]} options in the manual page, ${#heads[@]} in --help"
# The page names the version --version prints.
grep -qF "$("$bin" --version)" <<<"$text" || fail "the manual page does not name $("$bin" --version)"
echo "ok: ${#heads[@]} options agree"
