#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit,
# integration and UI). Extra arguments go to ctest, e.g. `-L unit`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build
exec ctest --output-on-failure "$@"
