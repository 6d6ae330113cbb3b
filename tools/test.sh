#!/usr/bin/env bash
# Builds Flitto and runs every test: once in a build that treats warnings as
# errors, once more with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

tools/install-deps.sh

jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLITTO_WERROR=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFLITTO_WERROR=ON \
  -DFLITTO_SANITIZE=ON -DFLITTO_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
# Leak detection stays off: Qt keeps process-lifetime allocations that it
# never frees, and those would drown any real report.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
