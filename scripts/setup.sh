#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs to build, run and test.
# Idempotent and quiet when everything is present; works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libplist-dev libxml2-dev nettle-dev openssl
  libenchant-2-dev hunspell-en-us
  libgtest-dev clang libclang-rt-dev
  xvfb xauth xdotool imagemagick x11-utils metacity dbus-daemon
  sway wtype grim iproute2
  at-spi2-core python3-pyatspi python3-gi
  ruby puma ruby-rack ruby-sqlite3 python3 libglib2.0-bin
  librsvg2-bin file desktop-file-utils appstream
  poppler-utils
)
# Debian 13's Rack 3 keeps its session cookie in a package of its own.
. /etc/os-release
[ "${VERSION_ID:-99}" = 12 ] || packages+=(ruby-rack-session)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
