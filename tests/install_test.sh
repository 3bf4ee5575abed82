#!/usr/bin/env bash
# cmake --install puts the executable, the manual page, the copyright and the
# changelog in place, and cpack -G DEB packages the same files in a package
# that lintian passes without an error or a warning; both installed
# executables run.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
expected_output=$'1 \n1 1 \n1 2 1 '

cmake --install "$build" --prefix "$work/prefix" >/dev/null
[[ -x $work/prefix/bin/quobi-pascal ]] || fail "no bin/quobi-pascal"
for file in share/man/man1/quobi-pascal.1.gz share/doc/quobi-pascal/copyright \
	share/doc/quobi-pascal/changelog.gz; do
	[[ -f $work/prefix/$file ]] || fail "no $file"
done
[[ $("$work/prefix/bin/quobi-pascal" 3) == "$expected_output" ]] || fail "installed binary"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
debs=("$work"/package/*.deb)
((${#debs[@]} == 1)) || fail "cpack made ${#debs[@]} packages"
files=$(dpkg-deb -c "${debs[0]}" | awk '$NF !~ /\/$/ { print $NF }' | sort)
[[ $files == "./usr/bin/quobi-pascal
./usr/share/doc/quobi-pascal/changelog.gz
./usr/share/doc/quobi-pascal/copyright
./usr/share/man/man1/quobi-pascal.1.gz" ]] || fail "package holds: $files"
findings=$(lintian --fail-on error,warning "${debs[0]}" 2>&1) ||
	fail "lintian: $findings"
[[ $(dpkg-deb -f "${debs[0]}" Package) == quobi-pascal ]] || fail "package name"

# Install the package into a root of its own, as dpkg would on a system.
root=$work/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless \
	--log=/dev/null -i "${debs[0]}" >/dev/null
[[ $("$root/usr/bin/quobi-pascal" 3) == "$expected_output" ]] || fail "packaged binary"
echo "install and package checked"
