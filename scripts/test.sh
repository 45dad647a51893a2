#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit tests, end-to-end tests against the
# real binaries and the browser tests; then tests under sanitizers and the fuzz targets; then the
# Windows programs, cross-built with mingw-w64 and tested under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

export TSAN_OPTIONS=halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# unit_tests <build folder> <unit test...>: runs the unit test programs built there.
unit_tests() {
  local build=$1 test binary
  shift
  for test in "$@"; do
    binary=$(find "$build" -name "$test" -type f -executable | head -n 1)
    echo "== $test in $build"
    "$binary" --gtest_brief=1
  done
}

# Races (g++ with ThreadSanitizer): the concurrency tests of the gate, the sessions and the HTTP
# server (connection threads, limits, time-outs, keep-alive).
thread_tests=(common_test http_test registry_accounts_test)
cmake -S . -B build-thread -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_SANITIZE=thread >/dev/null
cmake --build build-thread -j "$(nproc)" --target "${thread_tests[@]}"
unit_tests build-thread "${thread_tests[@]}"

# Memory errors and undefined behaviour (clang with AddressSanitizer and UndefinedBehaviorSanitizer):
# codecs, INI, deflate, ZIP, templates, and the server under the end-to-end tests. The same build
# links the fuzz targets with libFuzzer; each replays its corpus, then runs for 5 s from it.
address_tests=(common_test http_test registry_accounts_test registry_vehicles_test
               mapdata_zip_test pages_test service_test)
CXX=clang++ cmake -S . -B build-address -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX_SANITIZE=address -DKX_FUZZ=ON >/dev/null
cmake --build build-address -j "$(nproc)" --target "${address_tests[@]}" KXWebServer fuzz_targets
unit_tests build-address "${address_tests[@]}"
(cd build-address &&
  ctest --output-on-failure -j "$(nproc)" --timeout 600 -R '^(e2e_|fuzz_replay_)')
scripts/fuzz.sh build-address "${KX_FUZZ_SECONDS:-5}"

scripts/test-windows.sh
echo "All tests passed."
