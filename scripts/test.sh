#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit tests, end-to-end tests against the
# real binaries and the browser tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 600
