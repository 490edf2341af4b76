#!/usr/bin/env bash
# Builds with ThreadSanitizer in build-tsan and runs the server supervision tests
# (controller, child processes, probe, stale cleanup) under it. Extra arguments go
# to the test binary, e.g. --gtest_repeat=5.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$(nproc)" --target integration_tests
# GLib's slice allocator would pass memory between threads under locks the
# sanitizer cannot see; plain malloc it can follow.
export G_SLICE=always-malloc
export TSAN_OPTIONS="${TSAN_OPTIONS:-} halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
exec build-tsan/tests/integration_tests --gtest_filter='ServerControllerTest.*' "$@"
