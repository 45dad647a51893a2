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

# sanitizer_tests <build folder> <CTest regex> <unit test...>: runs the unit test programs, then
# the CTest tests that the regex selects.
sanitizer_tests() {
  local build=$1 selection=$2 test binary
  shift 2
  for test in "$@"; do
    binary=$(find "$build" -name "$test" -type f -executable | head -n 1)
    echo "== $test in $build"
    "$binary" --gtest_brief=1
  done
  (cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600 -R "$selection")
}

# Races (g++ with ThreadSanitizer): the gate, sessions and HTTP server, and the server under the
# end-to-end tests' concurrent clients.
thread_tests=(common_test http_test registry_accounts_test)
cmake -S . -B build-thread -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_SANITIZE=thread >/dev/null
cmake --build build-thread -j "$(nproc)" --target "${thread_tests[@]}" KXWebServer
sanitizer_tests build-thread '^e2e_' "${thread_tests[@]}"

# Memory errors and undefined behaviour (clang with AddressSanitizer and UndefinedBehaviorSanitizer):
# codecs, INI, deflate, ZIP, templates, and the server under the end-to-end tests. The same build
# links the fuzz targets with libFuzzer; each replays its corpus, then runs for 5 s from it.
address_tests=(common_test http_test registry_accounts_test registry_vehicles_test
               mapdata_zip_test pages_test service_test)
CXX=clang++ cmake -S . -B build-address -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX_SANITIZE=address -DKX_FUZZ=ON >/dev/null
cmake --build build-address -j "$(nproc)" --target "${address_tests[@]}" KXWebServer fuzz_targets
sanitizer_tests build-address '^(e2e_|fuzz_replay_)' "${address_tests[@]}"
scripts/fuzz.sh build-address "${KX_FUZZ_SECONDS:-5}"

scripts/test-windows.sh
echo "All tests passed."
