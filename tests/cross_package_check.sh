#!/usr/bin/env bash
# The Debian package cross-built for another architecture, as Debian's cross
# builds make it: apt-get build-dep -a ARCH -Pcross installs what the source
# package asks for, dpkg-buildpackage -a ARCH -Pcross builds it with its test
# suite configured and built (a cross-build does not run it), lintian finds
# no error and no warning in it, and the packaged executable, run under
# qemu-user, prints the same bytes as the native release build.
# Usage: tests/cross_package_check.sh ARCH, as run by tests/run package-ARCH,
# as root or where sudo works; cmake/toolchains/ARCH.cmake names the
# emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
architecture=$1
toolchain=cmake/toolchains/$architecture.cmake
[[ -f $toolchain ]] || fail "no toolchain file $toolchain"
setting() { toolchain_setting "$toolchain" "$1"; }
gnu_type=$(setting DEBIAN_GNU_TYPE)
emulator=("qemu-$(setting QEMU_CPU)-static" -L "/usr/$gnu_type")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(dpkg-parsechangelog -S Version)
tree=$work/quobi-pascal-$version
bash tests/copy_tree.sh "$tree"
cd "$tree"

echo "== apt-get build-dep -a $architecture -Pcross ./"
as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq \
	-a "$architecture" -Pcross ./ >"$work/build-dep.log" 2>&1 ||
	{ cat "$work/build-dep.log"; fail "apt-get build-dep"; }

echo "== dpkg-buildpackage -a $architecture -Pcross -us -uc -b"
dpkg-buildpackage -a "$architecture" -Pcross -us -uc -b >"$work/build.log" 2>&1 ||
	{ tail -n 40 "$work/build.log"; fail "dpkg-buildpackage"; }
grep -q 'Built target quobi-pascal-tests' "$work/build.log" ||
	fail "the cross-build did not build the test suite"

echo "== lintian on the .changes"
lintian --fail-on error,warning "$work"/*.changes || fail "lintian"
echo "lintian: no error and no warning"

dpkg-deb -x "$work/quobi-pascal_${version}_$architecture.deb" "$work/installed"
release_build
same_bytes_as_release build/release/quobi-pascal "${emulator[@]}" \
	"$work/installed/usr/bin/quobi-pascal"
