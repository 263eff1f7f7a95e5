#!/usr/bin/env bash
# Builds Horavex and runs every test: the normal build with warnings as errors, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)
# The interop tests fail, rather than skip, when a peer program is missing.
export HORAVEX_REQUIRE_PEERS=1

# The windows' tests (label gui) run one after another on a virtual screen of their own.
screen=(xvfb-run -a -s "-screen 0 1024x768x24")

scripts/build.sh build/ci -DHORAVEX_WERROR=ON
# Label package (here only, not under the sanitizers) makes the Debian package and checks it unpacked.
(cd build/ci && ctest --output-on-failure -j "$jobs" -LE gui && "${screen[@]}" ctest --output-on-failure -L gui)

scripts/build.sh build/asan -DHORAVEX_WERROR=ON -DHORAVEX_SANITIZE=ON -DHORAVEX_BENCH=OFF
# GTK and fontconfig keep some memory until the process ends; tests/gui/lsan.supp names it.
(cd build/asan && export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   LSAN_OPTIONS="suppressions=$PWD/../../tests/gui/lsan.supp:print_suppressions=0" &&
   ctest --output-on-failure -j "$jobs" -LE gui && "${screen[@]}" ctest --output-on-failure -L gui)

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHORAVEX_FUZZ=ON -DHORAVEX_TESTS=OFF -DHORAVEX_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_answer fuzz_daytime_scan fuzz_profile_edit fuzz_request_log
fuzz/run.sh build/fuzz "${FUZZ_SECONDS:-20}"
scripts/test-share.sh
echo "All tests passed."
