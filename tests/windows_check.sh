#!/usr/bin/env bash
# The Windows build, under wine: the tool and its GoogleTest suite built with
# mingw-w64 and the suite run by ctest; the executable's hardening, its DLLs
# and its lack of a time stamp; its output, CRLF line ends removed, the same
# bytes as the native release build's; and what the zip for Windows users
# holds.
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

# The zip for Windows users and what it holds.  tests/run release makes it
# again from a second clone, at another depth and under another umask, and
# compares the bytes.
zip=quobi-pascal-$(project_version)-windows-x64.zip
cmake --workflow --preset windows-x64-zip >"$work/build.log" 2>&1 ||
	{ cat "$work/build.log"; fail "the zip"; }
listing=$(unzip -Z1 "build/windows-x64-zip/$zip" | tr '\n' ' ')
folder=${zip%.zip}
[[ $listing == "$folder/quobi-pascal.exe $folder/README.md $folder/LICENSE.txt $folder/quobi-pascal.txt " ]] ||
	fail "$zip holds $listing"
echo "$zip holds $listing"
