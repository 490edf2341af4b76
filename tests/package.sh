#!/usr/bin/env bash
# The Debian package: its files (the sample application's exactly, nothing from
# the build), control fields and desktop metadata; then the copy unpacked into a
# temporary root, not installed, runs the sample application to its first page
# with its icon found in the bundle.
set -euo pipefail
cpack=$1 build=$2 source=$(cd "$(dirname "$0")/.." && pwd) tmp=$(mktemp -d)
trap 'echo "package.sh: line $LINENO failed"; tail -n 30 "$tmp/log" 2>/dev/null' ERR
trap 'set +e; [ -z "${pid:-}" ] || kill "$pid"; rm -rf "$tmp"' EXIT
(cd "$build" && "$cpack" -G DEB -B "$tmp/out" >/dev/null)
deb=$(echo "$tmp/out/quorvel_"*"_$(dpkg --print-architecture).deb") && version=$(dpkg-deb -f "$deb" Version)
(cat "$source/tests/package-files.txt"; cd "$source/examples/sample"
 find app -type f | sed 's|^|usr/lib/quorvel/Quorvel.app/Contents/Resources/|') | sort >"$tmp/expected"
dpkg-deb -c "$deb" | grep -v '^d' | sed -E 's/^([^ ]+ +){5}\.\///' | sort | diff "$tmp/expected" -
# Built on a release, for it: its number in the version and its own library packages.
. /etc/os-release && [[ $version == *"-1~deb${VERSION_ID}u1" ]]
if [ "$VERSION_ID" = 12 ]; then libraries=(libruby3.1 libgtk-3-0); else libraries=(libruby3.3 libgtk-3-0t64); fi
depends=", $(dpkg-deb -f "$deb" Depends),"
for d in ruby puma ruby-rack "ruby-rack-session | ruby-rack (<< 3)" ruby-sqlite3 "${libraries[@]}" libwebkit2gtk-4.1-0 libenchant-2-2; do
  [[ $depends == *", $d"[\ ,]* ]] || { echo "Depends lacks $d:$depends"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Recommends)" = hunspell-en-us ]  # spelling's dictionary, replaceable by others
dpkg -x "$deb" "$tmp/root"
desktop-file-validate "$tmp/root/usr/share/applications/app.quorvel.Quorvel.desktop"
appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/app.quorvel.Quorvel.metainfo.xml" >/dev/null
[ "$("$tmp/root/usr/bin/quorvel" --version)" = "Quorvel ${version%%-*}" ]
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -i "/QuorvelPort/{n;s|>[0-9]*<|>$port<|}" "$tmp/root/usr/lib/quorvel/Quorvel.app/Contents/Info.plist"
mkdir "$tmp/home" && cd "$tmp/home"
HOME=$PWD QUORVEL_HOME=$PWD G_MESSAGES_DEBUG=Quorvel "$tmp/root/usr/bin/quorvel" >"$tmp/log" 2>&1 & pid=$!
timeout 90 sh -c 'until grep -q "milestone: first page load finished" "$0"; do sleep 0.1; done' "$tmp/log"
# The sample accepted the window's token cookie: Ruby and Puma from the package serve the page.
grep -q '"path":"/","query":"","cookies":\[[^]]*\],"token":"cookie","status":200' \
  "$tmp/home/Library/Application Support/Quorvel/sample-requests.log"
window=$(xprop -id "$(xdotool search --onlyvisible --pid "$pid" --name '^Quorvel$' | head -n 1)" WM_CLASS _NET_WM_ICON)
[[ $window == *'"app.quorvel.Quorvel"'* && $window == *'Icon (128 x 128)'* ]]
kill -TERM "$pid"; wait "$pid"; pid=
