#!/usr/bin/env bash
# The files of a release, made by the command that README.md gives for them:
# SHA256SUMS checks them all; each of the ten Linux executables is static,
# with no program interpreter and no needed library, hardened as far as a
# static executable can be (relro; PIE and immediate binding where it is
# static-pie; every compile line with the stack protector and
# _FORTIFY_SOURCE), and, run with nothing around it, prints what the native
# release build prints: x86_64 alone in an empty root, the others under
# qemu-user with no system root.  The WebAssembly module of the wasm32-wasi
# tarball prints the same under Node.js's own WASI, and the npm package,
# installed from its file into an empty prefix, puts a command on the PATH
# that prints the same.  Last, a second clone at another depth and under
# another umask makes every file again, the same bytes.
# Run by tests/run release, as root or where sudo works.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

release_command=$(readme_command '<!-- ci: release -->')
[[ -n $release_command ]] || fail "README.md gives no release command"
echo "== $release_command"
bash -c "$release_command" >"$work/dist.log" 2>&1 || { cat "$work/dist.log"; fail "$release_command"; }
version=$(project_version)
dist=build/dist
(cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
files=$(cd "$dist" && ls | tr '\n' ' ')
(($(wc -w <<<"$files") == 16)) || fail "$dist holds $files"
echo "$dist: 15 files and SHA256SUMS, whose sums hold"

release_build
release=build/release/quobi-pascal
# same_answers COMMAND...: COMMAND, the tool and whatever starts it, prints
# the release build's bytes, and for 0 and x the same standard output,
# standard error and status.
same_answers() {
	local args
	same_bytes_as_release "$release" "$@" >/dev/null
	for args in 0 x; do
		cmp <("$@" $args 2>&1; echo "exit $?") <("$release" $args 2>&1; echo "exit $?") ||
			fail "$* $args gets another answer than from the release build"
	done
}

# The architectures that are linked -static-pie.
static_pie=(x86_64 i686 aarch64)
for architecture in "${release_architectures[@]}"; do
	folder=quobi-pascal-$version-linux-$architecture
	tar -xzf "$dist/$folder.tar.gz" -C "$work"
	listing=$(tar -tzvf "$dist/$folder.tar.gz" | awk '{ print $1, $2, $6 }' | tr '\n' ' ')
	[[ $listing == "drwxr-xr-x 0/0 $folder/ -rw-r--r-- 0/0 $folder/LICENSE -rw-r--r-- 0/0 $folder/README.md -rwxr-xr-x 0/0 $folder/quobi-pascal -rw-r--r-- 0/0 $folder/quobi-pascal.1 " ]] ||
		fail "$folder.tar.gz holds $listing"
	executable=$work/$folder/quobi-pascal
	headers=$(readelf -hlW "$executable")
	dynamic=$(readelf -dW "$executable")
	grep -q 'INTERP' <<<"$headers" && fail "$architecture: a program interpreter"
	grep -q 'NEEDED' <<<"$dynamic" && fail "$architecture: needs $(grep NEEDED <<<"$dynamic")"
	grep -q 'GNU_RELRO' <<<"$headers" || fail "$architecture: no relro"
	if [[ " ${static_pie[*]} " == *" $architecture "* ]]; then
		kind=static-pie
		grep -q 'Type: *DYN' <<<"$headers" || fail "$architecture: not position-independent"
		grep -q 'FLAGS_1.*NOW' <<<"$dynamic" || fail "$architecture: no immediate binding"
	else
		kind=static
		grep -q 'Type: *EXEC' <<<"$headers" || fail "$architecture: not a static executable"
	fi
	lines=$(sed -n 's/^ *"command": "\(.*\)",$/\1/p' "build/static-$architecture/compile_commands.json")
	for flag in -fstack-protector-strong -D_FORTIFY_SOURCE=2; do
		grep -v -- " $flag" <<<"$lines" && fail "$architecture: compile lines without $flag"
	done
	if [[ $architecture == x86_64 ]]; then
		root=$work/empty-root
		mkdir "$root"
		cp "$executable" "$root/"
		run=(as_root chroot "$root" /quobi-pascal)
	else
		qemu_cpu=$(toolchain_setting "cmake/toolchains/${release_toolchains[$architecture]}.cmake" QEMU_CPU)
		run=("qemu-$qemu_cpu-static" "$executable")
	fi
	same_answers "${run[@]}"
	echo "$architecture: $kind, relro$([[ $kind == static ]] || echo ", now"), stack protector and" \
		"fortify; with nothing around it, the release build's bytes"
done

folder=quobi-pascal-$version-wasm32-wasi
tar -xzf "$dist/$folder.tar.gz" -C "$work"
listing=$(tar -tzvf "$dist/$folder.tar.gz" | awk '{ print $1, $2, $6 }' | tr '\n' ' ')
[[ $listing == "drwxr-xr-x 0/0 $folder/ -rw-r--r-- 0/0 $folder/LICENSE -rw-r--r-- 0/0 $folder/README.md -rw-r--r-- 0/0 $folder/quobi-pascal.1 -rw-r--r-- 0/0 $folder/quobi-pascal.wasm " ]] ||
	fail "$folder.tar.gz holds $listing"
same_answers node --no-warnings tests/wasi_run.mjs "$work/$folder/quobi-pascal.wasm"
echo "wasm32-wasi: under Node.js's own WASI, the release build's bytes"

prefix=$work/npm-prefix
npm install --global --prefix "$prefix" --offline --no-audit --no-fund --loglevel=error \
	"$dist/quobi-pascal-$version-node.tgz"
same_answers env PATH="$prefix/bin:$PATH" quobi-pascal
echo "the npm package, installed into an empty prefix: the release build's bytes"

second=$work/b/two/levels/down/quobi-pascal
(
	umask 002
	git clone -q . "$second"
	cd "$second"
	dist/run
) >"$work/second.log" 2>&1 || { cat "$work/second.log"; fail "dist/run in $second"; }
diff -r "$dist" "$second/$dist" || fail "two clones make different release files"
echo "a second clone, at another depth and under umask 002, makes the same bytes in every file"
