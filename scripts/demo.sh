#!/usr/bin/env bash
# Installs what is needed, builds, lays out the demo service folder in build/demo-folder and runs
# KXWebServer on it in the foreground on port 8080 (Ctrl-C stops it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
folder=$PWD/build/demo-folder
scripts/make-demo-folder.sh "$folder"
echo "KXWebServer on http://localhost:8080/kxserver/main (Ctrl-C stops it)"
exec "$folder/KXWebServer"
