#!/usr/bin/env bash
# Installs the outside scripts the pages load into static/js/vendor/ (not kept in git): the
# KML-to-GeoJSON converter the map page draws archives with. The service serves js files by plain
# names only, so each lands under a name without extra dots; whoever lays out a service folder
# copies static/js/*.js and static/js/vendor/*.js side by side into its js folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if [ ! -f node_modules/@tmcw/togeojson/dist/togeojson.umd.js ]; then
  npm ci --no-audit --no-fund
fi
mkdir -p static/js/vendor
cp node_modules/@tmcw/togeojson/dist/togeojson.umd.js static/js/vendor/togeojson.js
echo "static/js/vendor: $(ls static/js/vendor | tr '\n' ' ')"
