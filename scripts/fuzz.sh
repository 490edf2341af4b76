#!/usr/bin/env bash
# Usage: fuzz.sh [SECONDS [NAME]]. Builds the libFuzzer targets (tests/fuzz) with
# clang in build-fuzz and runs each (or only fuzz_NAME) for SECONDS (default 10)
# from its seeds. New inputs go to build-fuzz/corpus/, a crash to
# build-fuzz/crashes/; the first failing target fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
bash scripts/setup.sh
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzzers
mkdir -p build-fuzz/crashes
for seeds in tests/fuzz/corpus/${2:-*}/; do
  name=$(basename "$seeds")
  mkdir -p "build-fuzz/corpus/$name"
  echo "fuzz_$name: ${seconds} s"
  # The first folder takes what the run finds, so the seeds stay as they are.
  build-fuzz/tests/fuzz/"fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/crashes/$name-" "build-fuzz/corpus/$name" "$seeds" 2>"build-fuzz/$name.log" \
    || { tail -n 40 "build-fuzz/$name.log" >&2; exit 1; }
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "build-fuzz/$name.log" || true
done
