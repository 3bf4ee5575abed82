#!/usr/bin/env bash
# valgrind's memcheck on the run without an argument and on the longest run:
# no invalid access and no memory definitely lost.  The table is kept until
# the process ends, so it is still reachable then, which is not an error.
# Usage: memcheck_test.sh TOOL
set -euo pipefail
tool=$1
for args in "" 1000; do
	# shellcheck disable=SC2086
	valgrind --quiet --error-exitcode=99 --leak-check=full \
		--errors-for-leak-kinds=definite "$tool" $args >/dev/null ||
		{ echo "FAILED: memcheck of quobi-pascal $args" >&2; exit 1; }
done
echo "memcheck clean"
