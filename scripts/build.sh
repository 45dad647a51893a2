#!/usr/bin/env bash
# Configures and builds everything into build/ (or the folder named by KX_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KX_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${KX_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
