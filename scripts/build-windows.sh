#!/usr/bin/env bash
# Cross-builds the Windows programs and their unit tests into build-windows/ (or the folder named
# by KX_WINDOWS_BUILD_DIR) with Debian's mingw-w64. Installs what the build and the tests under
# wine need, idempotently: only missing Debian packages are installed. Extra arguments go to
# CMake's configure step, e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix  # the cross compiler with posix threads
  libboost-dev googletest     # header-only Boost and GoogleTest's sources, built for Windows
  libz-mingw-w64-dev          # zlib for Windows: the unit tests' reference inflater only
  wine wine64 xvfb            # running the programs and the tests
  imagemagick                 # the screenshots of the KXReports test
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${KX_WINDOWS_BUILD_DIR:-build-windows}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=${KX_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
