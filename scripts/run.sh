#!/usr/bin/env bash
# Installs what is missing, builds Quorvel.app and runs it with the sample
# application. Without a display, it runs Quorvel on a private virtual one, waits
# for the first page, saves a screenshot, quits Quorvel in order and prints where
# the screenshot is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target bundle
app="$PWD/build/Quorvel.app/Contents/Linux/quorvel"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$app"
fi
# The private session bus and the services it starts are chatty; headless.sh
# gets the real standard error back on descriptor 3.
exec 3>&2
exec xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- bash scripts/headless.sh "$app" 2>/dev/null
