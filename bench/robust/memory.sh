#!/usr/bin/env bash
# Resident memory of the server after 500 connections that each made one map request (a
# last-position request in file mode, which packs a KMZ archive) and stay open. Compressors are
# shared by the process, so the figure should not grow by a compressor per connection.
# Loopback only, about 10 s.
# Usage: bench/robust/memory.sh [build folder] [connections]   (defaults: build, 500)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
count=${2:-500}
. "$here/../service_folder.sh"
ulimit -n 8192
make_service_folder
python3 - "$folder" <<'PY'
import os, sys
positions = os.path.join(sys.argv[1], "dispatcher", "LastPosition")
os.makedirs(positions)
for device in range(100000, 100010):
    kml = ('<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2">\n'
           '  <Placemark>\n    <name>%d</name>\n'
           '    <description>2010-03-05 23:30:00 Speed 40 km/h</description>\n'
           '    <Point><coordinates>37.6,55.7,0</coordinates></Point>\n  </Placemark>\n</kml>\n'
           % device)
    open(os.path.join(positions, "%07d.kml" % device), "w").write(kml)
PY
start_service
cookie=$(curl -s -o /dev/null -D - --data 'kx_login=admin&password=secret&Submit=OK' \
  "http://127.0.0.1:$port/kxserver/main" | sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | tr -d '\r')
python3 "$here/map_connections.py" "$port" "$server" "$cookie" "$count"
