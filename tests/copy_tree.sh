#!/usr/bin/env bash
# Copies the source tree to DIR, as a clone of the work would hold it: in a
# git checkout, the files that git knows of, committed or new and not
# ignored; elsewhere, such as in a copy made by this script, every file but
# the build trees.  Files are created under the caller's umask.
# Usage: tests/copy_tree.sh DIR
set -euo pipefail
mkdir -p "$1"
dir=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
	git ls-files -z --cached --others --exclude-standard |
		while IFS= read -r -d '' file; do
			if [[ -e $file ]]; then printf '%s\0' "$file"; fi
		done
else
	find . \( -path ./.git -o -path ./build -o -path './obj-*' \) -prune -o \
		-type f -print0
fi | xargs -0 cp --parents -t "$dir"
