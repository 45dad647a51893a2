#!/usr/bin/env bash
# Sign-in throughput: form posts per second with 16 connections (wrk, loopback only), against the
# real KXWebServer with 1,000 registry vehicles and an administrator account.
# Usage: bench/signin/run.sh [build folder]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
folder=$(mktemp -d /tmp/kx-bench-signin-XXXXXX)
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
open(os.path.join(folder, "Settings.ini"), "w").write("[main]\nport=%d\nUseKX=0\n" % port)
open(os.path.join(folder, "Users.ini"), "w").write(
    "[main]\nUsersCount=1\nUser0=admin\n[admin]\nlogin=admin\npass=%s\nr=2\n" % digest("admin", "secret"))
lines = ["[main]", "devCount=1000"]
for j in range(1000):
    lines += ["[dev%d]" % j, "devnum=%d" % (100000 + j), "carmodel=Model %d" % j,
              "groupname=Group %d" % (j // 50), "groupfile=g%d.grp" % (j // 50)]
open(os.path.join(folder, "DeviceList.ini"), "w").write("\n".join(lines) + "\n")
PY
cat > "$folder/post.lua" <<'LUA'
wrk.method = "POST"
wrk.body = "kx_login=admin&password=secret&Submit=OK"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
LUA

"$build/service/KXWebServer" --folder "$folder" & server=$!
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
  sleep 0.1
done
echo "== sign-in: 16 connections, 10 s"
wrk -t2 -c16 -d10s --latency -s "$folder/post.lua" "http://127.0.0.1:$port/kxserver/main"
