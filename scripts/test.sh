#!/usr/bin/env bash
# Builds Horavex and runs every test: the normal build with warnings as errors, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

scripts/build.sh build/ci -DHORAVEX_WERROR=ON
(cd build/ci && ctest --output-on-failure -j "$jobs")

scripts/build.sh build/asan -DHORAVEX_WERROR=ON -DHORAVEX_SANITIZE=ON -DHORAVEX_BENCH=OFF
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs")

CC=clang CXX=clang++ scripts/build.sh build/fuzz -DHORAVEX_FUZZ=ON -DHORAVEX_TESTS=OFF -DHORAVEX_BENCH=OFF
fuzz/run.sh build/fuzz "${FUZZ_SECONDS:-20}"
echo "All tests passed."
