#!/usr/bin/env bash
# Last-position requests ("/kxserver/car", file mode) end to end: latency (median, p99) and
# throughput with 16 connections (wrk, loopback only), against the real KXWebServer with a
# dispatcher folder of 1,000 last-position files and a signed-in administrator. Each request
# copies and edits one KML file, packs it and answers the archive's URL; a second run fetches
# the archive of one such answer; a third sends track requests, which in file mode show the last
# position too and also store the user's icon mask, repeating the mask already stored as a user
# who keeps the icon boxes does.
# Usage: bench/car/run.sh [build folder] [seconds]   (defaults: build, 10)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
seconds=${2:-10}
. "$here/../service_folder.sh"
make_service_folder
# A last-position file per registry vehicle, the size of the dispatcher's (about 1 KB, with a
# style block).
python3 - "$folder" <<'PY'
import os, sys
positions = os.path.join(sys.argv[1], "dispatcher", "LastPosition")
os.makedirs(positions)
for j in range(1000):
    device = 100000 + j
    kml = ('<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2">\n'
           '  <Placemark>\n    <name>%d</name>\n'
           '    <description>2010-03-05 23:30:00 Speed 40 km/h, course 270, satellites 9'
           '</description>\n    <Style><IconStyle><scale>1.1</scale><Icon><href>'
           'http://maps.google.com/mapfiles/kml/shapes/cabs.png</href></Icon></IconStyle>'
           '<LabelStyle><scale>0.9</scale></LabelStyle></Style>\n'
           '    <Point><coordinates>%.6f,%.6f,0</coordinates></Point>\n  </Placemark>\n</kml>\n'
           % (device, 37.6 + j / 1e4, 55.7 + j / 1e4))
    open(os.path.join(positions, "%07d.kml" % device), "w").write(kml)
PY

start_service
cookie=$(curl -s -o /dev/null -D - --data 'kx_login=admin&password=secret&Submit=OK' \
  "http://127.0.0.1:$port/kxserver/main" | sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | tr -d '\r')
answer=$(curl -s -H "Cookie: $cookie" "http://127.0.0.1:$port/kxserver/car?DevNum=100001&type=0&GMT=3")
echo "one answer: $answer"

echo "== last position (file mode): 16 connections, ${seconds} s"
wrk -t2 -c16 -d"${seconds}s" --latency -H "Cookie: $cookie" \
  "http://127.0.0.1:$port/kxserver/car?DevNum=100001&type=0&GMT=3"
echo "== archive fetch (no session): 16 connections, ${seconds} s"
wrk -t2 -c16 -d"${seconds}s" --latency "${answer##*|}"
echo "== track, the stored icon mask repeated (file mode): 16 connections, ${seconds} s"
wrk -t2 -c16 -d"${seconds}s" --latency -H "Cookie: $cookie" \
  "http://127.0.0.1:$port/kxserver/car?DevNum=100001&type=1&BeginDate=05.03.2010_9:00&EndDate=06.03.2010_9:00&GMT=3&Icons=16"
