#!/usr/bin/env bash
# The project on another Debian release, as a user there meets it.  A
# minimal root of that release (mmdebstrap, buildd variant) is made from the
# Debian archive that this machine's apt uses, once per machine and release,
# and reused by later runs.  A clean copy of the tree goes into it, and there
# the README's run and test commands run, then the release's tests/run
# steps; tests/run installs into the root what each of them needs.  The root
# gets /proc, /sys, /dev and the machine's name service while the checks
# run; they are mounted in a mount namespace of the script's own and also
# unmounted as it ends, on every path.
# Usage: tests/debian_release_check.sh RELEASE, where RELEASE is
#   13       Debian 13 (trixie): then clang, lint and package;
#   testing  the release being made, now forky: then clang, asan, lint,
#            hardening and package.
# Run by tests/run debian-RELEASE, as root or where sudo works.  The roots
# lie in QUOBI_PASCAL_ROOTS, by default /var/cache/quobi-pascal, as
# debian-RELEASE.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
release=${1:-}
roots=${QUOBI_PASCAL_ROOTS:-/var/cache/quobi-pascal}
root=$roots/debian-$release
mmdebstrap_options=()
case $release in
13)
	suite=trixie
	version_pattern='^13\.'
	steps=(clang lint package)
	;;
testing)
	suite=testing
	version_pattern='/sid$'
	steps=(clang asan lint hardening package)
	# A snapshot of the archive serves testing's Release file as it was
	# that day, which may be past its Valid-Until.  Only this root's apt
	# accepts it: the option goes into the root's own configuration.
	mmdebstrap_options=(--aptopt='Acquire::Check-Valid-Until "false"')
	;;
*) fail "usage: tests/debian_release_check.sh 13 | testing" ;;
esac

if ((EUID != 0)); then
	exec sudo QUOBI_PASCAL_ROOTS="$roots" bash "$0" "$release"
fi
# Mounts made in a namespace of this script's own vanish with it, even when
# it is killed, and never show on the machine.
if [[ -z ${QUOBI_PASCAL_OWN_MOUNTS-} ]]; then
	exec env QUOBI_PASCAL_OWN_MOUNTS=1 unshare --mount --propagation private bash "$0" "$release"
fi

if [[ ! -e $root/etc/debian_version ]]; then
	# The Debian archive of this machine's own release, not its updates or
	# security archives, nor any other vendor's.
	. /etc/os-release
	# shellcheck disable=SC2016 # $(REPO_URI) is apt's field, not the shell's
	archive=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' \
		'Label: Debian' "Codename: $VERSION_CODENAME" | head -n 1)
	[[ -n $archive ]] || fail "apt uses no Debian archive for $VERSION_CODENAME"
	echo "== mmdebstrap --variant=buildd $suite from $archive"
	# A root only half made is never taken for a whole one.
	rm -rf "$root.new"
	mkdir -p "$roots"
	started=$SECONDS
	mmdebstrap --quiet --variant=buildd "${mmdebstrap_options[@]}" \
		"$suite" "$root.new" "$archive" || fail "mmdebstrap"
	mv "$root.new" "$root"
	echo "made the Debian $release root in $((SECONDS - started)) s"
fi
grep -q "$version_pattern" "$root/etc/debian_version" ||
	fail "$root holds Debian $(cat "$root/etc/debian_version"), not $release"

mounted=()
unmount() {
	local i
	for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
		umount "${mounted[i]}" || umount --lazy "${mounted[i]}"
	done
	mounted=()
}
trap unmount EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mount_in_root() {
	mount "$@"
	mounted+=("${*: -1}")
}
mount_in_root -t proc proc "$root/proc"
mount_in_root -t sysfs sysfs "$root/sys"
mount_in_root --bind /dev "$root/dev"
mount_in_root --bind /dev/pts "$root/dev/pts"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

tree=/src/quobi-pascal
rm -rf "${root:?}$tree"
bash tests/copy_tree.sh "$root$tree"
# The commands exactly as README.md gives them.
run_command=$(readme_command '<!-- ci: run -->')
test_command=$(readme_command '<!-- ci: test -->')
[[ -n $run_command && -n $test_command ]] || fail "README.md lacks its run or test command"

# shellcheck disable=SC2016 # the script runs in the root, with its arguments
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
	CI=true bash -euo pipefail -c '
	cd "$1"
	release="Debian $(cat /etc/debian_version)"
	# What the README says that building the tool needs.
	if ! dpkg-query -W cmake make g++ >/dev/null 2>&1; then
		echo "== $release: apt-get install cmake make g++"
		apt-get update -qq
		DEBIAN_FRONTEND=noninteractive apt-get install -y -qq cmake make g++ >/dev/null
	fi
	echo "== $release: $2"
	bash -c "$2" | tail -n 3
	# What the test command and the steps need, in one install.
	tests/run install test "${@:4}"
	echo "== $release: $3"
	bash -c "$3"
	# The README test command and the package build run every case of the
	# command-line sweep here; the other builds, a sample of 50 a class,
	# but for the sanitizer build, whose preset keeps its own 100.
	for step in "${@:4}"; do
		echo "== $release: tests/run $step"
		QUOBI_PASCAL_SWEEP_SAMPLE=50 tests/run "$step"
	done' check "$tree" "$run_command" "$test_command" "${steps[@]}"
echo "Debian $release: the README commands and tests/run ${steps[*]} passed"
