#!/usr/bin/env bash
# The same sources build to the same bytes wherever they lie, and whenever
# and under whatever umask they are built.  Two copies of the tree, at
# different depths, are made and built a minute apart, under umask 022 and
# 002; each builds the release preset and the Debian packages
# (DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b).  The two executables
# must be the same bytes, and so must the two sets of packages.  No executable holds the path of its tree:
# assertions name their files as src/display.cpp.  What differs is shown by
# diffoscope where it is installed, and by cmp otherwise.
# Run by tests/run reproducible.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(dpkg-parsechangelog -S Version)
first=$work/a/quobi-pascal-$version
second=$work/b/two/levels/down/quobi-pascal-$version

# build TREE UMASK: copies the tree to TREE and builds the tool and the
# packages there; the packages land beside TREE.
build() {
	local tree=$1
	echo "== umask $2: $(date -u +%T) ${tree#"$work"/}"
	(
		umask "$2"
		mkdir -p "$tree"
		bash tests/copy_tree.sh "$tree"
		cd "$tree"
		cmake --workflow --preset release
		DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b -us -uc
	) >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "the build in $tree"; }
}
started=$SECONDS
build "$first" 022
if ((SECONDS - started < 60)); then sleep $((60 - (SECONDS - started))); fi
build "$second" 002

differences=0
# compare A B: the same bytes, or a report of what differs.
compare() {
	if cmp -s "$1" "$2"; then
		echo "same bytes: ${1##*/}"
		return
	fi
	echo "DIFFERENT: ${1#"$work"/} and ${2#"$work"/}"
	if command -v diffoscope >/dev/null; then
		diffoscope --no-progress --text - --max-text-report-size 200000 "$1" "$2" || true
	else
		cmp -l "$1" "$2" | head -n 20 || true
	fi
	differences=$((differences + 1))
}
compare "$first/build/release/quobi-pascal" "$second/build/release/quobi-pascal"
debs=("$work"/a/*.deb)
[[ -e ${debs[0]} ]] || fail "dpkg-buildpackage made no package"
for deb in "${debs[@]}"; do
	compare "$deb" "${second%/*}/${deb##*/}"
done

# Neither the release executables nor the packaged one hold a path of the
# build, and the assertions name their files from the top of the tree.
dpkg-deb -x "$work/a/quobi-pascal_${version}_$(dpkg --print-architecture).deb" "$work/installed"
for executable in "$first/build/release/quobi-pascal" \
	"$second/build/release/quobi-pascal" "$work/installed/usr/bin/quobi-pascal"; do
	texts=$(strings -a "$executable")
	if grep -F "$work" <<<"$texts"; then
		fail "${executable#"$work"/} holds the path of its build"
	fi
	grep -qx src/display.cpp <<<"$texts" ||
		fail "${executable#"$work"/} does not name src/display.cpp"
done
echo "no executable holds the path of its build"
((differences == 0)) || fail "$differences pairs of files differ"
echo "the executable and ${#debs[@]} packages are reproducible"
