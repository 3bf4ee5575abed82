#!/usr/bin/env bash
# The manual page: mandoc's lint finds no warning or error, man renders it,
# and it quotes the usage text and the messages exactly as the tool writes
# them.  Lint leaves out its style notes, since one of them objects to the
# tool's name and version in .Os, where man shows them.
# Usage: man_page_test.sh PAGE TOOL
set -euo pipefail
# shellcheck source=tests/lib.sh
. "$(dirname "$0")/lib.sh"
page=$1 tool=$2
# man warns when the tester's locale is not installed; this one always is.
export LC_ALL=C.UTF-8

lint=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc -T lint: $lint"
[[ -z $lint ]] || fail "mandoc -T lint: $lint"

errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
rendered=$(MANWIDTH=80 MANPAGER=cat man -l "$page" 2>"$errors") || fail "man -l: $(cat "$errors")"
[[ ! -s $errors ]] || fail "man -l: $(cat "$errors")"
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" EXAMPLES DIAGNOSTICS "SEE ALSO"; do
	grep -qx "$section" <<<"$rendered" || fail "no section $section"
done

# Each line the tool writes in its diagnostics stands in the page.
text=$(mandoc -T ascii "$page" | sed 's/.\x08//g')
write_error=$("$tool" 1 2>&1 >&- || true)
while IFS= read -r line; do
	[[ -z $line ]] && continue
	grep -qF -- "$line" <<<"$text" || fail "the page does not quote: $line"
done < <("$tool" x || true; "$tool" 0 2>&1 || true; echo "quobi-pascal: Not enough memory."
	echo "${write_error%%: Bad file*}:")
echo "man page checked"
