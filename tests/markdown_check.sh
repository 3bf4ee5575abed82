#!/usr/bin/env bash
# The project's Markdown files: every relative link leads to a file that
# exists, and to a heading of it where it names one (as GitHub makes a
# heading's anchor: lower case, punctuation dropped, blanks as hyphens);
# the README gives each of its marked commands, those of CI, once; and it
# keeps to 200 lines, Install its first section, the rest left to doc/.
# Run by tests/run lint.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh

# outside_code FILE: FILE without its fenced code blocks and inline code.
outside_code() {
	awk '/^```/ { fenced = !fenced; next } !fenced' "$1" | sed 's/`[^`]*`//g'
}
# anchors FILE: the anchors of FILE's headings.
anchors() {
	outside_code "$1" | sed -n 's/^#\{1,6\} //p' | tr '[:upper:]' '[:lower:]' |
		sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

failed=0 links=0
while IFS= read -r file; do
	while IFS= read -r target; do
		[[ $target =~ ^[a-z]+: ]] && continue
		links=$((links + 1))
		path=${target%%#*} anchor=''
		[[ $target == *#* ]] && anchor=${target#*#}
		resolved=$(dirname "$file")/$path
		[[ -z $path ]] && resolved=$file
		if [[ ! -e $resolved ]]; then
			echo "$file: the link to $target leads to no file" >&2
			failed=1
		elif [[ -n $anchor ]] && ! anchors "$resolved" | grep -x -- "$anchor" >/dev/null; then
			echo "$file: the link to $target leads to no heading of $resolved" >&2
			failed=1
		fi
	done < <(outside_code "$file" | grep -o '\]([^)]*)' | sed 's/^](//; s/)$//')
done < <(find . -name '*.md' -not -path './build/*' -not -path '*/node_modules/*' \
	-not -path './obj-*' -not -path './debian/*' | sort)

for marker in run test release; do
	count=$(grep -cx "<!-- ci: $marker -->" README.md || true)
	((count == 1)) || { echo "README.md marks its $marker command $count times" >&2; failed=1; }
	[[ -n $(readme_command "<!-- ci: $marker -->") ]] ||
		{ echo "README.md's $marker command is missing" >&2; failed=1; }
done
lines=$(wc -l <README.md)
((lines <= 200)) || { echo "README.md has $lines lines, more than 200" >&2; failed=1; }
[[ $(grep -m1 '^## ' README.md) == '## Install' ]] ||
	{ echo "README.md's first section is not Install" >&2; failed=1; }
((failed == 0)) || fail "Markdown links or README commands"
echo "Markdown: $links relative links lead where they say; the README's run, test and release commands are there once; it has $lines lines, Install first"
