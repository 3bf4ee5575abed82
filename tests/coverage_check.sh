#!/usr/bin/env bash
# tests/run coverage: the whole native suite built by g++ with coverage
# counts and run, the end-to-end runs of the tool included, and gcovr's
# tables of the lines and the branches of each file of src/ that the tests
# ran, printed and kept in build/coverage/ (lines.txt, branches.txt, and
# report/index.html with a page for each file).  It fails below every
# line, and below the share of the branches that the suite reaches,
# branch_floor.
# gcovr leaves out the branches that only an exception takes, those on
# lines with no code of their own (the compiler's), and those on lines of
# src/ marked GCOVR_EXCL_BR_LINE, each with a comment that says why no
# input or failing write can take them.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
build=build/coverage
branch_floor=100
# The counts of an earlier run would add to this one's.
[[ ! -d $build ]] || find "$build" -name '*.gcda' -delete
cmake --workflow --preset coverage
mkdir -p "$build/report"
gcovr --root . --object-directory "$build" --filter 'src/' \
	--exclude-throw-branches --exclude-unreachable-branches --json "$build/coverage.json"
report=(gcovr --add-tracefile "$build/coverage.json")
"${report[@]}" --txt "$build/lines.txt"
"${report[@]}" --branches --txt "$build/branches.txt"
cat "$build/lines.txt" "$build/branches.txt"
"${report[@]}" --html-details "$build/report/index.html" \
	--fail-under-line 100 --fail-under-branch "$branch_floor" ||
	fail "coverage below every line of src/, or below $branch_floor% of its branches"
echo "coverage: every line of src/ and at least $branch_floor% of its branches ran; build/coverage/report/index.html shows them"
