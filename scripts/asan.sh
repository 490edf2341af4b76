#!/usr/bin/env bash
# Builds everything with AddressSanitizer (leak detection on) and
# UndefinedBehaviorSanitizer in build-asan and runs the unit and integration tests
# there. Any report fails its test. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-} detect_leaks=1 detect_stack_use_after_return=1 check_initialization_order=1 strict_init_order=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-} print_stacktrace=1"
cd build-asan
exec ctest --output-on-failure -L 'unit|integration' "$@"
