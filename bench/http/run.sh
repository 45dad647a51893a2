#!/usr/bin/env bash
# Load test of the HTTP server against nginx on loopback, with wrk: requests per second and p99
# latency at 16 and 64 connections, and the server's idle memory.
#
#   bench/http/run.sh [BUILD_DIR]      (default: build; the http_bench_server target must be built)
#
# Environment: DURATION (wrk seconds per run, default 10), THREADS (wrk threads, default 2).
set -euo pipefail

build_dir=${1:-build}
server_bin=$build_dir/bench/http/http_bench_server
duration=${DURATION:-10}
threads=${THREADS:-2}
[[ -x $server_bin ]] || { echo "missing $server_bin; build the http_bench_server target" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is not installed" >&2; exit 1; }
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }

work=$(mktemp -d)
server_pid=""
nginx_pid=""
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A page of 2500 bytes, about the size of the sign-in page.
mkdir -p "$work/www"
python3 - "$work/www/index.html" <<'PY'
import sys
line = "<tr><td class=\"label\">Login</td><td><input name=\"kx_login\" maxlength=\"20\"></td></tr>\n"
page = "<html><head><title>Sign in</title></head><body><form method=\"post\">\n"
while len(page) + len(line) < 2480:
    page += line
page += "</form></body></html>\n"
page += " " * (2500 - len(page))
open(sys.argv[1], "w").write(page)
PY

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

# wrk_run URL CONNECTIONS -> "requests/s p99"
wrk_run() {
  local out
  out=$(wrk -t"$threads" -c"$2" -d"${duration}s" --latency "$1")
  local rps p99
  rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  echo "$rps $p99"
}

# Start the server under test.
"$server_bin" "$work/www/index.html" 0 >"$work/server.out" &
server_pid=$!
for _ in $(seq 50); do [[ -s $work/server.out ]] && break; sleep 0.1; done
server_port=$(head -1 "$work/server.out")
server_url="http://127.0.0.1:$server_port/kxserver/css"

# Start nginx with its own configuration, serving the same page.
nginx_port=$(free_port)
mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 2;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nodelay on;
  open_file_cache max=16;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    location / { try_files /index.html =404; }
  }
}
CONF
nginx -e "$work/nginx/error.log" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && break; sleep 0.1; done

idle_before=$(rss_kb "$server_pid")
printf 'body: %s bytes; wrk: %s threads, %ss per run\n' "$(stat -c %s "$work/www/index.html")" \
  "$threads" "$duration"
printf '%-6s %-12s %-10s %-12s %-10s %s\n' conns kx_req/s kx_p99 nginx_req/s nginx_p99 ratio
for connections in 16 64; do
  read -r kx_rps kx_p99 < <(wrk_run "$server_url" "$connections")
  read -r ng_rps ng_p99 < <(wrk_run "http://127.0.0.1:$nginx_port/" "$connections")
  ratio=$(awk -v a="$kx_rps" -v b="$ng_rps" 'BEGIN { printf "%.2f", a / b }')
  printf '%-6s %-12s %-10s %-12s %-10s %s\n' "$connections" "$kx_rps" "$kx_p99" "$ng_rps" \
    "$ng_p99" "$ratio"
done
sleep 2  # let the connections close and their threads be joined
idle_after=$(rss_kb "$server_pid")
printf 'server RSS idle: %s KiB at start, %s KiB after the load\n' "$idle_before" "$idle_after"
