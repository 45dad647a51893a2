#!/usr/bin/env bash
# Sign-in throughput: form posts per second with 16 connections (wrk, loopback only), against the
# real KXWebServer with 1,000 registry vehicles and an administrator account.
# Usage: bench/signin/run.sh [build folder]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
. "$here/../service_folder.sh"
make_service_folder
cat > "$folder/post.lua" <<'LUA'
wrk.method = "POST"
wrk.body = "kx_login=admin&password=secret&Submit=OK"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
LUA

start_service
echo "== sign-in: 16 connections, 10 s"
wrk -t2 -c16 -d10s --latency -s "$folder/post.lua" "http://127.0.0.1:$port/kxserver/main"
