#!/usr/bin/env bash
# cmake --install puts exactly the expected files in place under a prefix,
# and the installed executable runs.
# Usage: install_test.sh BUILD_DIR FILE...   (the files relative to the prefix)
set -euo pipefail
# shellcheck source=tests/lib.sh
. "$(dirname "$0")/lib.sh"
build=$1
shift
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
expected=$(printf '%s\n' "$@" | sort)
[[ $installed == "$expected" ]] || fail "installed:
$installed
expected:
$expected"
[[ $("$prefix/bin/quobi-pascal" 3) == $'1 \n1 1 \n1 2 1 ' ]] || fail "installed binary"
echo "install checked"
