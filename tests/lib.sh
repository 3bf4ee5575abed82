# Helpers that the check scripts share: sourced, never run.
# shellcheck shell=bash

# Reports a failed check and ends the script.
fail() {
	echo "FAILED: $*" >&2
	exit 1
}

# Runs a command as root: directly when root already, and through sudo
# otherwise.
as_root() {
	if ((EUID == 0)); then "$@"; else sudo "$@"; fi
}

# project_version: the version that project() in CMakeLists.txt gives.
project_version() {
	sed -n 's/^project(quobi-pascal VERSION \([^ ]*\)$/\1/p' CMakeLists.txt
}

# toolchain_setting FILE NAME: what toolchain file FILE sets NAME to, such
# as DEBIAN_GNU_TYPE or QEMU_CPU; nothing where it sets none.
toolchain_setting() {
	sed -n "s/^set($2 \(.*\))\$/\1/p" "$1"
}

# The Linux architectures of a release as their users name them, and the
# toolchain file of each under cmake/toolchains ("native" for amd64, the
# machine that makes a release).
declare -A release_toolchains=([x86_64]=native [i686]=i386 [aarch64]=arm64
	[armhf]=armhf [armel]=armel [mipsel]=mipsel [mips64el]=mips64el
	[ppc64le]=ppc64el [s390x]=s390x [riscv64]=riscv64)
release_architectures=(x86_64 i686 aarch64 armhf armel mipsel mips64el ppc64le s390x
	riscv64)

# release_build: builds the release preset in build/release, which the
# checks compare with.  CI runs checks side by side: one build at a time
# configures and builds the tree, and a build already up to date changes
# nothing.
release_build() {
	mkdir -p build
	flock build/release.lock cmake --workflow --preset release >/dev/null
}

# same_bytes_as_release RELEASE COMMAND...: COMMAND, the tool to check and
# whatever starts it, prints the same bytes as RELEASE, the release build's
# executable, for the command lines below, and exits with the same status.
same_bytes_as_release() {
	local release=$1 args
	shift
	for args in "" 1 5 60 1000; do
		# shellcheck disable=SC2086
		cmp <("$@" $args; echo "exit $?") <("$release" $args; echo "exit $?") ||
			fail "$* $args prints other bytes than the release build"
	done
	echo "$* prints what the release build prints for no argument, 1, 5, 60 and 1000"
}

# readme_command MARKER: the first line of the code block that follows the
# line MARKER in README.md, in the current directory.
readme_command() {
	awk -v marker="$1" '
		$0 == marker { found = 1; next }
		found && /^```/ { if (inblock) exit; inblock = 1; next }
		inblock { print; exit }
	' README.md
}

# readme_block MARKER: every line of the code block that follows the line
# MARKER in README.md, in the current directory.
readme_block() {
	awk -v marker="$1" '
		$0 == marker { found = 1; next }
		found && /^```/ { if (inblock) exit; inblock = 1; next }
		inblock { print }
	' README.md
}

# wine_up: makes wine's prefix where it is missing, without the .NET and
# HTML engines that wine would offer to download, and keeps its server and
# services running until wine_down, apart from the script's output.  The
# wine process that starts them hands them its standard output and error:
# where that is a pipe read to its end, as ctest reads each test's, the
# read then lasts until the last wine process of the run has ended.
wine_up() {
	mkdir -p "${WINEPREFIX:-$HOME/.wine}"
	{ wineserver --persistent && WINEDLLOVERRIDES='mscoree,mshtml=' wine cmd /c exit; } \
		</dev/null >/dev/null 2>&1 || fail "wine does not start"
}

# wine_down: stops what wine_up started, and waits until it has stopped.
wine_down() {
	wineserver --kill 2>/dev/null || true
	wineserver --wait 2>/dev/null || true
}
