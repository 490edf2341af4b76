#!/usr/bin/env bash
# Measures Quorvel against the engine's floor (bench/floor.cpp) and, when it is
# installed, Chromium in app mode, alternately on one virtual display, and prints
# medians and ratios. RUNS (default 4) launches of each; BENCH_IDLE_SECONDS sets
# the idle window (default 30). It reports; it never fails because of slowness.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-4} tool=bench/bench.py
if [ "$runs" = --profile ]; then runs=1 tool=bench/profile.py; fi
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target bundle fake_server >/dev/null
cmake -S bench -B build/bench -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/bench -j2 >/dev/null
command -v chromium >/dev/null || echo "chromium is not installed: its column is left out." >&2

# As each UI test has it (tests/ui/desktop.sh): display, session bus, window manager.
exec xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" dbus-run-session -- sh -c '
  metacity >/dev/null 2>&1 & wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  tool=$1; shift
  python3 "$tool" "$@"; status=$?
  kill $wm
  exit $status' sh "$tool" "$PWD/build" "$PWD/build/bench/floor" "$runs"
