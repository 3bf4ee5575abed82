#!/usr/bin/env bash
# The npm package under the JavaScript runtimes that its users run it with:
# Node.js 18, 20, 22, 24 and 26, Bun and Deno on Linux, each running the
# end-to-end table and the command-line sweep classes against the package's
# command; Node.js for Windows under wine, in a new prefix set to Windows
# 10, running a sample of the table; and the README's commands for Bun and
# Deno, as written.  The runtimes come from the npm registry, pinned by the
# lockfiles in tests/runtimes, and npm ci installs them.  Each runtime gets
# one line: its name and version, and the tests passed and failed.
# Run by tests/run runtimes.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh

npm_ci() { (cd "$1" && shift && npm ci --no-audit --no-fund --loglevel=error "$@"); }
npm_ci tests/runtimes
# Node.js for Windows is marked for win32 alone, which npm enforces unless
# forced.
npm_ci tests/runtimes/windows --force
runtimes=$PWD/tests/runtimes/node_modules

# The package of the release build, which tests/run release makes too, in
# CI's lane before this step (tests/run wasm and page build theirs in
# build/wasm, in the other lane); its files, and its command under whatever
# runtime QUOBI_PASCAL_RUNTIME names, a command and its options.
cmake --workflow --preset wasm-release >/dev/null
package=$PWD/build/wasm-release/quobi-pascal-$(project_version)-node.tgz
work=build/runtimes
mkdir -p "$work"
rm -rf "$work/package"
tar -xzf "$package" -C "$work"
cat >"$work/npm-command" <<'EOF'
#!/bin/sh
exec $QUOBI_PASCAL_RUNTIME "$(dirname "$0")/package/bin/quobi-pascal.js" "$@"
EOF
chmod +x "$work/npm-command"
cmake --preset runtimes >/dev/null
cmake --build --preset runtimes >/dev/null
release_build

failures=0
# report NAME VERSION PASSED FAILED [LOG]: the runtime's line, and the log
# where something failed, then the next runtime's turn.  grep stops after
# 40 lines of its own accord: ended by head, or finding none, it would end
# the script under set -e and pipefail, and the other runtimes' lines with
# it.
report() {
	echo "$1 $2: $3 passed, $4 failed"
	if (($4)); then
		failures=$((failures + 1))
		[[ -z ${5-} ]] || grep -m 40 -E 'Failure|Expected|Which is|differs|\*\*\*Failed|Trace' "$5" || true
	fi
}

# on_linux NAME COMMAND...: the end-to-end tests under COMMAND.
on_linux() {
	local name=$1 version log summary
	shift
	version=$("$1" --version | sed -n '1s/^[^0-9]*\([0-9][0-9.]*\).*/\1/p')
	log=$(mktemp)
	QUOBI_PASCAL_RUNTIME="$*" ctest --preset runtimes >"$log" 2>&1 || true
	summary=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log")
	[[ -n $summary ]] || summary="1 1"
	report "$name" "$version" $((${summary#* } - ${summary% *})) "${summary% *}" "$log"
	rm -f "$log"
}
on_linux Node.js "$runtimes/node18/bin/node"
on_linux Node.js "$runtimes/node20/bin/node"
on_linux Node.js "$runtimes/node22/bin/node"
on_linux Node.js "$runtimes/node24/bin/node"
on_linux Node.js "$runtimes/node26/bin/node"
on_linux Bun "$runtimes/bun/bin/bun"
on_linux Deno "$runtimes/deno/deno" run --allow-read

# Node.js for Windows: what it prints, LF line ends and all, and how it
# ends, the same as the native tool, for a sample of the table's command
# lines.  Node.js starts only where the prefix says Windows 10 or later.
export WINEDEBUG=-all WINEPREFIX=$PWD/$work/wine
rm -rf "$WINEPREFIX"
trap wine_down EXIT
wine_up
wine reg add 'HKEY_CURRENT_USER\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1
node_exe=tests/runtimes/windows/node_modules/node-windows/bin/node.exe
out=$(mktemp -d)
passed=0 failed=0
for args in "" 5 1000 12abc 0 x "1 2"; do
	# shellcheck disable=SC2086
	{ wine "$node_exe" "$work/package/bin/quobi-pascal.js" $args >"$out/out" 2>"$out/err"
		echo "exit $?" >"$out/status"; } || true
	# shellcheck disable=SC2086
	{ build/release/quobi-pascal $args >"$out/native-out" 2>"$out/native-err"
		echo "exit $?" >"$out/native-status"; } || true
	if cmp -s "$out/out" "$out/native-out" && cmp -s "$out/err" "$out/native-err" &&
		cmp -s "$out/status" "$out/native-status"; then
		passed=$((passed + 1))
	else
		failed=$((failed + 1))
		echo "node.exe quobi-pascal $args: $(cat "$out/status") and $(wc -c <"$out/out") bytes," \
			"where the native tool: $(cat "$out/native-status") and $(wc -c <"$out/native-out")"
	fi
done
report "Node.js for Windows, under wine," "$(wine "$node_exe" --version | tr -d 'v\r')" "$passed" "$failed"
rm -rf "$out"

# The README's commands for Bun and Deno, in a new folder that holds the
# release file under its own name, with the runtimes on the PATH.
for runtime in bun deno; do
	commands=$(readme_block "<!-- ci: $runtime -->")
	[[ -n $commands ]] || fail "README.md gives no commands for $runtime"
	folder=$(mktemp -d)
	cp "$package" "$folder/"
	output=$(cd "$folder" && PATH=$runtimes/bun/bin:$runtimes/deno:$PATH bash -e -c "$commands") ||
		fail "the README's $runtime commands failed"
	[[ $output == "$(build/release/quobi-pascal 5)" ]] ||
		fail "the README's $runtime commands print other than quobi-pascal 5: $output"
	rm -rf "$folder"
done
echo "the README's commands for Bun and Deno print what quobi-pascal 5 prints"
((failures == 0)) || fail "$failures runtimes failed"
