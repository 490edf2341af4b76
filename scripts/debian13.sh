#!/usr/bin/env bash
# Sets up, builds, tests and packages Quorvel on Debian 13 (trixie) from a Debian 12
# machine: a chroot made with debootstrap from this machine's own archive, with no
# network while the tests run (a private namespace whose loopback is up) and no
# daemons started by package scripts. It runs the README's test command there
# (extra arguments go to ctest), then builds the Debian 13 package, installs it in
# the chroot with apt and copies it to build/debian13/.
#   scripts/debian13.sh [CTEST-ARGS...]   everything
#   scripts/debian13.sh --prepare         only the chroot and its packages
# The chroot stays in $QUORVEL_TRIXIE (default /var/tmp/quorvel-trixie) for the next
# run; delete the folder to start afresh. Needs root (sudo is used otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo -E bash "$0" "$@"
root=${QUORVEL_TRIXIE:-/var/tmp/quorvel-trixie} suite=trixie
. /etc/os-release

if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi
# The archive this machine installs its own release from, and its security archive.
archive() { apt-cache policy | awk -v s="$1/main" '$3 == s { print $2; exit }'; }
mirror=$(archive "$VERSION_CODENAME") security=$(archive "$VERSION_CODENAME-security")
[ -n "$mirror" ] || { echo "debian13.sh: no archive for $VERSION_CODENAME in apt's sources" >&2; exit 1; }

# Everything inside runs in a mount and process namespace of its own: the mounts
# and whatever the tests leave running end with it.
inside() {
  unshare --mount --propagation private --pid --fork --kill-child -- bash -c '
    set -e; root=$1; shift
    mount --rbind /dev "$root/dev" && mount -t proc proc "$root/proc" && mount -t sysfs sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp" && mount -t tmpfs tmpfs "$root/dev/shm"
    exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 CI="${CI:-}" "$@"' \
    inside "$root" "$@"
}

if [ ! -e "$root/.quorvel-base" ]; then
  # A debootstrap cut short leaves its debootstrap/ folder (nothing is mounted outside
  # `inside`); anything else there is not this script's to delete.
  [ ! -d "$root/debootstrap" ] || rm -rf --one-file-system "$root"
  [ -z "$(ls -A "$root" 2>/dev/null)" ] || { echo "debian13.sh: $root is in the way" >&2; exit 1; }
  debootstrap --variant=minbase "$suite" "$root" "$mirror"
  touch "$root/.quorvel-base"
fi
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"
{
  echo "deb $mirror $suite main"
  echo "deb $mirror $suite-updates main"
  [ -z "$security" ] || echo "deb $security $suite-security main"
} >"$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The working tree as it is (committed or not, without build output), over the last copy.
src=$root/src/quorvel
mkdir -p "$src" && find "$src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
{ git ls-files -co --exclude-standard -z 2>/dev/null || find . -path './build*' -prune -o -type f -print0; } |
  tar --null -T - -cf - | tar -xf - -C "$src"
inside bash -c 'dpkg --configure -a && cd /src/quorvel && bash scripts/setup.sh'  # after a run cut short too
[ "${1:-}" != --prepare ] || exit 0

# Offline from here on: the tests need only loopback, and a default route over it, for
# the desktop (GLib's network monitor) to think itself online as on a machine with network.
inside unshare -n -- bash -c 'ip link set lo up && ip route add default dev lo && cd /src/quorvel &&
  bash scripts/test.sh "$@"' test "$@"
inside unshare -n -- bash -c '
  cd /src/quorvel/build && rm -f quorvel_*.deb && cpack -G DEB >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./quorvel_*.deb >/dev/null && quorvel --version'
mkdir -p build/debian13 && cp "$src"/build/quorvel_*~deb13u*.deb build/debian13/
echo "debian13.sh: $(ls build/debian13/quorvel_*~deb13u*.deb)"
