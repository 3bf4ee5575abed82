#!/usr/bin/env bash
# Copies the files of the source tree that git knows of, committed or new and
# not ignored, to DIR, as a clone of the work would hold them.  Files are
# created under the caller's umask.
# Usage: tests/copy_tree.sh DIR
set -euo pipefail
dir=$1
cd "$(dirname "$0")/.."
git ls-files -z --cached --others --exclude-standard |
	while IFS= read -r -d '' file; do
		if [[ -e $file ]]; then printf '%s\0' "$file"; fi
	done |
	xargs -0 cp --parents -t "$dir"
