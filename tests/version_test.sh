#!/usr/bin/env bash
# The version is the build's, and debian/changelog and the manual page's
# footer name the same one.
# Usage: version_test.sh VERSION SOURCE_DIR
set -euo pipefail
# shellcheck source=tests/lib.sh
. "$(dirname "$0")/lib.sh"
version=$1 top=$2
changelog=$(sed -n '1s/^quobi-pascal (\([^)]*\)).*/\1/p' "$top/debian/changelog")
[[ $changelog == "$version" ]] ||
	fail "debian/changelog is at $changelog, the build at $version"
page=$(sed -n 's/^\.Os //p' "$top/doc/quobi-pascal.1")
[[ $page == "quobi-pascal $version" ]] ||
	fail "the manual page names '$page', the build is at $version"
echo "version $version everywhere"
