#!/usr/bin/env bash
# The connection bound (MaxConnections, default 1,000) under 2,000 connections that trickle their
# headers: how many are refused with 503, the server's thread count, and how soon a new client is
# answered once a held connection closes (should be under 100 ms). Loopback only, about 20 s.
# Usage: bench/robust/connections.sh [build folder]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
. "$here/../service_folder.sh"
ulimit -n 8192
make_service_folder
python3 "$here/visitor_accounts.py" "$folder"
start_service
python3 "$here/trickle.py" "$port" "$server" 2000
kill -0 "$server" && echo "server still running"
