#!/usr/bin/env bash
# The hardening of the project's own build.  hardening-check finds PIE, the
# stack protector, fortified functions, read-only relocations and immediate
# binding in the release executable, and every compile line carries the
# stack protector, stack clash protection and this machine's control-flow
# protection.  Then the build keeps the hardening flags that a distribution
# gives it: with CXXFLAGS and LDFLAGS that already set each feature, at
# _FORTIFY_SOURCE level 3, every compile line sets each feature once and at
# their level, and the link line has relro and now once.
# Run by tests/run hardening.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh

release_build
report=$(hardening-check build/release/quobi-pascal) || true
echo "$report"
for feature in "Position Independent Executable" "Stack protected" \
	"Fortify Source functions" "Read-only relocations" "Immediate binding"; do
	grep -q "^ $feature: yes" <<<"$report" || fail "hardening-check: $feature"
done

# The flags of every compile command in build tree $1.
compile_lines() {
	sed -n 's/^ *"command": "\(.*\)",$/\1/p' "$1/compile_commands.json"
}
# count_on_every_line N PATTERN TEXT: PATTERN matches N times on each line.
count_on_every_line() {
	local line found
	while IFS= read -r line; do
		found=$(grep -oE -- "$2" <<<"$line" | wc -l)
		((found == $1)) || fail "$2: $found times, not $1, on: $line"
	done <<<"$3"
}

case $(dpkg --print-architecture) in
amd64 | i386) control_flow=-fcf-protection ;;
arm64) control_flow=-mbranch-protection=standard ;;
*) control_flow='' ;;
esac
lines=$(compile_lines build/release)
for flag in -fstack-protector-strong -fstack-clash-protection -D_FORTIFY_SOURCE=2 \
	$control_flow; do
	count_on_every_line 1 " $flag( |$)" "$lines"
done
echo "every compile line of the release build has -fstack-protector-strong," \
	"-fstack-clash-protection, -D_FORTIFY_SOURCE=2${control_flow:+ and $control_flow}"

# A distribution's flags, as Debian 13's dpkg-buildflags gives them, at
# _FORTIFY_SOURCE level 3.
given=$(mktemp -d)
trap 'rm -rf "$given"' EXIT
CXXFLAGS="-O2 -fstack-protector-strong -fstack-clash-protection -fcf-protection -D_FORTIFY_SOURCE=3" \
	LDFLAGS="-Wl,-z,relro -Wl,-z,now" cmake -S . -B "$given" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DBUILD_TESTING=OFF >/dev/null
lines=$(compile_lines "$given")
count_on_every_line 1 "_FORTIFY_SOURCE" "$lines"
count_on_every_line 1 "-D_FORTIFY_SOURCE=3" "$lines"
for feature in stack-protector stack-clash-protection cf-protection; do
	count_on_every_line 1 "-f(no-)?$feature" "$lines"
done
link=$(cat "$given/CMakeFiles/quobi-pascal.dir/link.txt")
count_on_every_line 1 "-z,relro" "$link"
count_on_every_line 1 "-z,now" "$link"
echo "given flags kept: _FORTIFY_SOURCE=3 and each feature once on every compile line," \
	"relro and now once on the link line"
