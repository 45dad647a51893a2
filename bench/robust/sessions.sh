#!/usr/bin/env bash
# Cookieless clients against the session bound: 64 connections without cookies ask for an unknown
# path for 60 s (six 10 s wrk runs, loopback only; each request signs in as guest and adds a
# session), while a signed-in user (3 vehicles) and a signed-in administrator (1,000 vehicles)
# each ask for their vehicle tree page every 20 ms. The rate of the last run should be at least
# 90% of the first, and the user's tree page p99 under 10 ms.
# Usage: bench/robust/sessions.sh [build folder]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
. "$here/../service_folder.sh"
make_service_folder
python3 "$here/visitor_accounts.py" "$folder"
start_service
sign_in() {
  curl -s -o /dev/null -D - --data "kx_login=$1&password=secret&Submit=OK" \
    "http://127.0.0.1:$port/kxserver/main" | sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | tr -d '\r'
}

python3 "$here/page_latency.py" "$port" "$(sign_in user)" /kxserver/carlist 60 >"$folder/user.txt" &
user=$!
python3 "$here/page_latency.py" "$port" "$(sign_in admin)" /kxserver/carlist 60 >"$folder/admin.txt" &
admin=$!
echo "== 64 cookieless connections, six runs of 10 s"
for run in 1 2 3 4 5 6; do
  rate=$(wrk -t2 -c64 -d10s "http://127.0.0.1:$port/kxserver/nosuch" | awk '/^Requests\/sec:/ {print $2}')
  echo "run $run: $rate requests/s"
done
wait "$user" "$admin"
echo "== signed-in tree pages meanwhile: user (3 vehicles), administrator (1,000 vehicles)"
cat "$folder/user.txt" "$folder/admin.txt"
echo "resident memory of the server: $(awk '/^VmRSS/ {print $2, $3}' /proc/$server/status)"
