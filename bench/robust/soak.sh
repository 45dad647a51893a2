#!/usr/bin/env bash
# Soak: 64 keep-alive connections for a while (default 600 s, loopback only) of a mixed workload
# against two servers, one in each data mode: file mode (last-position files copied by the
# service, UseKX=0) and dispatcher mode (the dispatcher stand-in, UseKX=1). Per server, one
# connection in eight is an administrator (admin page, GetUserInfo, AddUser, SaveUser, UserDel
# of its own logins), one a visitor without a cookie (pages that sign in as guest, archive
# fetches), the others users (sign-in and sign-out, tree pages, last-position, group and track
# requests, each answer's archive fetched, settings pages and savesettings).
# The clean-up runs with a 10 s "hour" (DelInterval=1, FileTimeToLive=1), so the kml folder
# stays bounded. Every 10 s each server's resident memory, open files and kml folder are
# sampled; at the end the replies are listed by kind and status. Exit status 1 when a target is
# missed: an unexpected reply, resident memory grown 5% or more from 60 s to the end, open files
# not back to their count before the load, a map file older than the clean-up allows.
# Usage: bench/robust/soak.sh [build folder] [seconds]   (defaults: build, 600)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
seconds=${2:-600}
cleanup_hour_ms=10000  # CLEANUP_HOUR_MS in soak.py
. "$here/../service_folder.sh"

make_service_folder
file_folder=$folder file_port=$port
make_service_folder
kx_folder=$folder kx_port=$port
stop_servers() {
  for pid in ${file_server:-} ${kx_server:-}; do kill "$pid" 2>/dev/null || true; done
  for pid in ${file_server:-} ${kx_server:-}; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$file_folder" "$kx_folder"
}
trap stop_servers EXIT

python3 "$here/soak.py" prepare "$file_folder" file
python3 "$here/soak.py" prepare "$kx_folder" kx
folder=$file_folder port=$file_port
start_service --cleanup-hour-ms "$cleanup_hour_ms"
file_server=$server
folder=$kx_folder port=$kx_port
KX_AUTOMATION_DATA=$kx_folder/automation start_service --cleanup-hour-ms "$cleanup_hour_ms"
kx_server=$server
server=

echo "== 64 connections for ${seconds} s: file mode on port $file_port, dispatcher mode on $kx_port"
python3 "$here/soak.py" run "$seconds" 64 "file:$file_port:$file_server:$file_folder" \
  "kx:$kx_port:$kx_server:$kx_folder"
