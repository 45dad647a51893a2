#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit tests, end-to-end tests against the
# real binaries and the browser tests; then the unit tests of the concurrent and the format code
# again under ThreadSanitizer and under AddressSanitizer with UndefinedBehaviorSanitizer; then the
# Windows programs, cross-built with mingw-w64 and tested under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

# Gate, sessions, HTTP server: races. Codecs, INI, deflate, ZIP, templates: memory errors.
thread_tests=(common_test http_test registry_accounts_test)
address_tests=(common_test http_test registry_accounts_test registry_vehicles_test
               mapdata_zip_test pages_test service_test)
for kind in thread address; do
  declare -n tests="${kind}_tests"
  cmake -S . -B "build-$kind" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_SANITIZE=$kind >/dev/null
  cmake --build "build-$kind" -j "$(nproc)" --target "${tests[@]}"
  for test in "${tests[@]}"; do
    binary=$(find "build-$kind" -name "$test" -type f -executable | head -n 1)
    echo "== $test under $kind sanitizer"
    TSAN_OPTIONS=halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$binary" --gtest_brief=1
  done
done
scripts/test-windows.sh
echo "All tests passed."
