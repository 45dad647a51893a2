#!/usr/bin/env bash
# Last-position requests ("/kxserver/car", file mode) end to end: latency (median, p99) and
# throughput with 16 connections (wrk, loopback only), against the real KXWebServer with a
# dispatcher folder of 1,000 last-position files and a signed-in administrator. Each request
# copies and edits one KML file, packs it and answers the archive's URL; a second run fetches
# the archive of one such answer.
# Usage: bench/car/run.sh [build folder] [seconds]   (defaults: build, 10)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
seconds=${2:-10}
folder=$(mktemp -d /tmp/kx-bench-car-XXXXXX)
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$folder"' EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 - "$folder" "$port" <<'PY'
import hashlib, os, sys
folder, port = sys.argv[1], int(sys.argv[2])
def digest(login, password):
    inner = hashlib.md5(password.encode("cp1251")).digest()
    inner = inner[:inner.find(b"\0")] if b"\0" in inner else inner
    return hashlib.md5(login.encode() + inner + login.encode()).hexdigest().upper()
os.mkdir(os.path.join(folder, "kml"))
positions = os.path.join(folder, "dispatcher", "LastPosition")
os.makedirs(positions)
open(os.path.join(folder, "Settings.ini"), "w").write(
    "[main]\nport=%d\nUseKX=0\nKXServerPath=%s/dispatcher/\n" % (port, folder))
open(os.path.join(folder, "Users.ini"), "w").write(
    "[main]\nUsersCount=1\nUser0=admin\n[admin]\nlogin=admin\npass=%s\nr=2\n" % digest("admin", "secret"))
lines = ["[main]", "devCount=1000"]
for j in range(1000):
    device = 100000 + j
    lines += ["[dev%d]" % j, "devnum=%d" % device, "carmodel=Model %d" % j,
              "groupname=Group %d" % (j // 50), "groupfile=g%d.grp" % (j // 50)]
    # A last-position file the size of the dispatcher's (about 1 KB, with a style block).
    kml = ('<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2">\n'
           '  <Placemark>\n    <name>%d</name>\n'
           '    <description>2010-03-05 23:30:00 Speed 40 km/h, course 270, satellites 9'
           '</description>\n    <Style><IconStyle><scale>1.1</scale><Icon><href>'
           'http://maps.google.com/mapfiles/kml/shapes/cabs.png</href></Icon></IconStyle>'
           '<LabelStyle><scale>0.9</scale></LabelStyle></Style>\n'
           '    <Point><coordinates>%.6f,%.6f,0</coordinates></Point>\n  </Placemark>\n</kml>\n'
           % (device, 37.6 + j / 1e4, 55.7 + j / 1e4))
    open(os.path.join(positions, "%07d.kml" % device), "w").write(kml)
open(os.path.join(folder, "DeviceList.ini"), "w").write("\n".join(lines) + "\n")
PY

"$build/service/KXWebServer" --folder "$folder" & server=$!
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
  sleep 0.1
done
cookie=$(curl -s -o /dev/null -D - --data 'kx_login=admin&password=secret&Submit=OK' \
  "http://127.0.0.1:$port/kxserver/main" | sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | tr -d '\r')
answer=$(curl -s -H "Cookie: $cookie" "http://127.0.0.1:$port/kxserver/car?DevNum=100001&type=0&GMT=3")
echo "one answer: $answer"

echo "== last position (file mode): 16 connections, ${seconds} s"
wrk -t2 -c16 -d"${seconds}s" --latency -H "Cookie: $cookie" \
  "http://127.0.0.1:$port/kxserver/car?DevNum=100001&type=0&GMT=3"
echo "== archive fetch (no session): 16 connections, ${seconds} s"
wrk -t2 -c16 -d"${seconds}s" --latency "${answer##*|}"
