#!/usr/bin/env bash
# Installs the Debian and npm packages the build, the demo and the tests need. Idempotent: only
# missing Debian packages are installed, and npm runs only when node_modules is out of date.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config clang-format clang libclang-rt-dev
  libboost-dev libxml2-dev libfltk1.3-dev
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libssl-dev
  python3 unzip
  chromium xvfb xdotool x11-utils icewm imagemagick fonts-dejavu-core
  wrk nginx-light
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
# Node.js may come from elsewhere with npm bundled; Debian's packages only when it is missing.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm packages of the pages and the browser tests (never a browser download: Chromium is
# Debian's).
if [ -f package.json ]; then
  if [ ! -d node_modules ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
  fi
  if [ -x scripts/install-static-vendor.sh ]; then scripts/install-static-vendor.sh; fi
fi
