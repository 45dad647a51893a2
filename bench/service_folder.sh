# Shared by the end-to-end benchmark scripts (sourced): a temporary service folder with an
# administrator "admin"/"secret" and 1,000 registry vehicles in groups of 50, and the real
# KXWebServer started on it. The caller sets `build` before calling start_service.

# Creates the folder and picks a free loopback port: sets `folder` and `port`, and removes the
# folder and stops the server on exit.
make_service_folder() {
  folder=$(mktemp -d /tmp/kx-bench-XXXXXX)
  trap 'kill "${server:-}" 2>/dev/null || true; wait "${server:-}" 2>/dev/null || true; rm -rf "$folder"' EXIT
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 - "$folder" "$port" <<'PY'
import hashlib, os, sys
folder, port = sys.argv[1], int(sys.argv[2])
def digest(login, password):
    inner = hashlib.md5(password.encode("cp1251")).digest()
    inner = inner[:inner.find(b"\0")] if b"\0" in inner else inner
    return hashlib.md5(login.encode() + inner + login.encode()).hexdigest().upper()
os.mkdir(os.path.join(folder, "kml"))
open(os.path.join(folder, "Settings.ini"), "w").write(
    "[main]\nport=%d\nUseKX=0\nKXServerPath=%s/dispatcher/\n" % (port, folder))
open(os.path.join(folder, "Users.ini"), "w").write(
    "[main]\nUsersCount=1\nUser0=admin\n[admin]\nlogin=admin\npass=%s\nr=2\n" % digest("admin", "secret"))
lines = ["[main]", "devCount=1000"]
for j in range(1000):
    lines += ["[dev%d]" % j, "devnum=%d" % (100000 + j), "carmodel=Model %d" % j,
              "groupname=Group %d" % (j // 50), "groupfile=g%d.grp" % (j // 50)]
open(os.path.join(folder, "DeviceList.ini"), "w").write("\n".join(lines) + "\n")
PY
}

# Starts the server on the folder (with any further arguments given) and waits until it listens:
# sets `server`.
start_service() {
  "$build/service/KXWebServer" --folder "$folder" "$@" & server=$!
  for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && return
    sleep 0.1
  done
  echo "KXWebServer did not start" >&2
  return 1
}
