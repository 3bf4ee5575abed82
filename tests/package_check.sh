#!/usr/bin/env bash
# The Debian package from end to end, as a maintainer and then a user meet
# it: dpkg-buildpackage builds the source and binary packages from a copy of
# the tree and runs the test suite; lintian finds no error and no warning in
# them; the package installs, man finds its page, and /usr/bin/quobi-pascal
# prints the same bytes as the release build of the same tree; autopkgtest
# passes on the installed package.  The package is removed again at the end,
# unless it was installed before.
# Run by tests/run package, as root or where sudo works.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAILED: $*" >&2; exit 1; }
as_root=()
((EUID == 0)) || as_root=(sudo)

is_installed() {
	[[ $(dpkg-query -W -f='${db:Status-Status}' quobi-pascal 2>/dev/null) == installed ]]
}
work=$(mktemp -d)
installed_before=false
is_installed && installed_before=true
cleanup() {
	if ! $installed_before && is_installed; then
		"${as_root[@]}" dpkg --purge quobi-pascal >/dev/null
	fi
	rm -rf "$work"
}
trap cleanup EXIT

version=$(dpkg-parsechangelog -S Version)
tree=$work/quobi-pascal-$version
deb=$work/quobi-pascal_${version}_$(dpkg --print-architecture).deb
mkdir "$tree"
bash tests/copy_tree.sh "$tree"

echo "== dpkg-buildpackage -us -uc"
(cd "$tree" && dpkg-buildpackage -us -uc) >"$work/build.log" 2>&1 ||
	{ cat "$work/build.log"; fail "dpkg-buildpackage"; }
# The suite ran during the build: ctest's summary.
grep -E '^[0-9]+% tests passed' "$work/build.log" || fail "the build ran no tests"

echo "== lintian on the .changes (error, warning, info and pedantic tags)"
lintian --fail-on error,warning --display-info --pedantic "$work"/*.changes ||
	fail "lintian"
echo "lintian: no error and no warning"

echo "== dpkg -i, man, and the installed program's output"
"${as_root[@]}" dpkg -i "$deb" >/dev/null
page=$(man -w quobi-pascal) || fail "man does not find quobi-pascal"
[[ $page == /usr/share/man/man1/quobi-pascal.1.gz ]] || fail "man finds $page"
(cd "$tree" && cmake --workflow --preset release >/dev/null)
for args in "" 1 5 60 1000; do
	# shellcheck disable=SC2086
	cmp <(/usr/bin/quobi-pascal $args) <("$tree/build/release/quobi-pascal" $args) ||
		fail "/usr/bin/quobi-pascal $args differs from the release build"
done
echo "/usr/bin/quobi-pascal prints what the release build prints for no argument, 1, 5, 60 and 1000"

echo "== autopkgtest with the null runner"
"${as_root[@]}" autopkgtest "$deb" "$tree" -- null >"$work/autopkgtest.log" 2>&1 ||
	{ cat "$work/autopkgtest.log"; fail "autopkgtest"; }
sed -n '/^command-line *[A-Z]/p; /^ok: \|^[0-9]* failed$/p' "$work/autopkgtest.log"
echo "Debian package checked"
