#!/usr/bin/env bash
# The Windows build, under wine: the tool and its GoogleTest suite built with
# mingw-w64 and the suite run by ctest; the executable's hardening, its DLLs
# and its lack of a time stamp; its output, CRLF line ends removed, the same
# bytes as the native release build's; and the zip for Windows users, built
# in two copies of the tree at different depths, under umask 022 and 002,
# the same bytes both times.
# Run by tests/run windows-x64.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'wine_down; rm -rf "$work"' EXIT

# wine's prefix, the Windows side of the files, made once before the tests
# start side by side.
wine_up
cmake --workflow --preset windows-x64

executable=build/windows-x64/quobi-pascal.exe
headers=$(x86_64-w64-mingw32-objdump -p "$executable")
for mark in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
	grep -qw "$mark" <<<"$headers" || fail "$executable is not marked $mark"
done
grep -q $'^Time/Date\t\tThu Jan  1 00:00:00 1970$' <<<"$headers" ||
	fail "$executable has a time stamp: $(grep Time/Date <<<"$headers")"
dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
[[ $dlls == 'ADVAPI32.dll KERNEL32.dll msvcrt.dll ' ]] ||
	fail "$executable needs the DLLs $dlls"
# Every compile line protects the stack.
grep '"command"' build/windows-x64/compile_commands.json | grep -v -- -fstack-protector-strong &&
	fail "compile lines without -fstack-protector-strong"
echo "$executable: ASLR with high-entropy addresses, NX, no time stamp, stack protector; needs $dlls"

# windows_tool ARGS...: the Windows executable's output without its CRs.
windows_tool() {
	wine "$executable" "$@" | tr -d '\r'
	return "${PIPESTATUS[0]}"
}
release_build
same_bytes_as_release build/release/quobi-pascal windows_tool

version=$(project_version)
zip=quobi-pascal-$version-windows-x64.zip
first=$work/a/quobi-pascal
second=$work/b/two/levels/down/quobi-pascal
for tree in "$first:022" "$second:002"; do
	(
		umask "${tree##*:}"
		bash tests/copy_tree.sh "${tree%:*}"
		cd "${tree%:*}"
		cmake --workflow --preset windows-x64-zip >"$work/build.log" 2>&1 ||
			{ cat "$work/build.log"; fail "the zip in ${tree%:*}"; }
	)
done
cmp "$first/build/windows-x64-zip/$zip" "$second/build/windows-x64-zip/$zip" ||
	fail "two builds of $zip differ"
listing=$(unzip -Z1 "$first/build/windows-x64-zip/$zip" | tr '\n' ' ')
folder=${zip%.zip}
[[ $listing == "$folder/quobi-pascal.exe $folder/README.md $folder/LICENSE.txt $folder/quobi-pascal.txt " ]] ||
	fail "$zip holds $listing"
echo "$zip: the same bytes from two trees; it holds $listing"
