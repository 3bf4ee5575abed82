#!/usr/bin/env bash
# The project on Debian 13 (trixie), as a user there meets it.  A minimal
# Debian 13 root (mmdebstrap, buildd variant) is made from the Debian archive
# that this machine's apt uses, once per machine, and reused by later runs.
# A clean copy of the tree goes into it, and there the README's run and test
# commands run, then tests/run clang, lint and package; tests/run installs
# into the root what each of them needs.  The root gets /proc, /sys, /dev
# and the machine's name service while the checks run; they are mounted in
# a mount namespace of the script's own and also unmounted as it ends, on
# every path.
# Run by tests/run debian-13, as root or where sudo works.  The root lies in
# QUOBI_PASCAL_DEBIAN_13_ROOT, by default /var/cache/quobi-pascal/debian-13.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
root=${QUOBI_PASCAL_DEBIAN_13_ROOT:-/var/cache/quobi-pascal/debian-13}

if ((EUID != 0)); then
	exec sudo QUOBI_PASCAL_DEBIAN_13_ROOT="$root" bash "$0"
fi
# Mounts made in a namespace of this script's own vanish with it, even when
# it is killed, and never show on the machine.
if [[ -z ${QUOBI_PASCAL_OWN_MOUNTS-} ]]; then
	exec env QUOBI_PASCAL_OWN_MOUNTS=1 unshare --mount --propagation private bash "$0"
fi

if [[ ! -e $root/etc/debian_version ]]; then
	# The Debian archive of this machine's own release, not its updates or
	# security archives, nor any other vendor's.
	. /etc/os-release
	# shellcheck disable=SC2016 # $(REPO_URI) is apt's field, not the shell's
	archive=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' \
		'Label: Debian' "Codename: $VERSION_CODENAME" | head -n 1)
	[[ -n $archive ]] || fail "apt uses no Debian archive for $VERSION_CODENAME"
	echo "== mmdebstrap --variant=buildd trixie from $archive"
	# A root only half made is never taken for a whole one.
	rm -rf "$root.new"
	mkdir -p "${root%/*}"
	started=$SECONDS
	mmdebstrap --quiet --variant=buildd trixie "$root.new" "$archive" ||
		fail "mmdebstrap"
	mv "$root.new" "$root"
	echo "made the Debian 13 root in $((SECONDS - started)) s"
fi
grep -q '^13\.' "$root/etc/debian_version" ||
	fail "$root holds Debian $(cat "$root/etc/debian_version"), not 13"

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
	# What the README says that building the tool needs.
	if ! dpkg-query -W cmake make g++ >/dev/null 2>&1; then
		echo "== Debian 13: apt-get install cmake make g++"
		apt-get update -qq
		DEBIAN_FRONTEND=noninteractive apt-get install -y -qq cmake make g++ >/dev/null
	fi
	echo "== Debian $(cat /etc/debian_version): $2"
	bash -c "$2" | tail -n 3
	echo "== Debian 13: $3"
	bash -c "$3"
	for preset in clang lint package; do
		echo "== Debian 13: tests/run $preset"
		tests/run "$preset"
	done' check "$tree" "$run_command" "$test_command"
echo "Debian 13: the README commands and tests/run clang, lint and package passed"
