#!/usr/bin/env bash
# Serves the same files with `sarvo-cli serve` and with nginx on loopback and prints each figure as
# ours / nginx:
#   - a 4 KiB file, a new connection per request (wrk -t2 -c32 -d10s, Connection: close), and the
#     CPU time (user + system) each server spent per request meanwhile
#   - a 1 GiB file, throughput of one download (curl, best of three)
#   - 1,000 connections held open in the middle of their header: our RSS, and the 4 KiB rate with them
#   - our RSS when idle
# Usage: bench/http/http_vs_nginx.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
here=$(dirname "$(realpath "$0")")
duration=${BENCH_SECONDS:-10}
held_count=${BENCH_HELD:-1000}

for tool in nginx wrk curl python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make bench installs it)" >&2; exit 1; }
done
ulimit -n "$(ulimit -Hn)"

work=$(mktemp -d /tmp/sarvo-bench.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

requests_per_second() {
  wrk -t2 -c32 -d"${duration}s" -H 'Connection: close' "$1" | awk '/^Requests\/sec/ {print $2}'
}

# User and system CPU seconds of the given processes so far.
cpu_seconds() {
  local ticks=0 pid
  for pid in "$@"; do
    ticks=$((ticks + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
  done
  python3 -c "import os,sys; print(int(sys.argv[1]) / os.sysconf('SC_CLK_TCK'))" "$ticks"
}

# Runs wrk against one server and prints "requests/s CPU-µs-per-request" of the given processes.
rate_and_cpu() {
  local url=$1; shift
  local before after rps
  before=$(cpu_seconds "$@")
  rps=$(requests_per_second "$url")
  after=$(cpu_seconds "$@")
  python3 -c "import sys; r,b,a,s=map(float,sys.argv[1:]); print(r, '%.1f' % ((a-b)*1e6/(r*s) if r else 0))" \
    "$rps" "$before" "$after" "$duration"
}

best_download_speed() {
  local best=0 speed
  for _ in 1 2 3; do
    speed=$(curl -s -o /dev/null -w '%{speed_download}' "$1")
    best=$(python3 -c "print(max(float('$best'), float('$speed')))")
  done
  echo "$best"
}

echo "Preparing files in $work"
mkdir -p "$work/files" "$work/home"
head -c 4096 /dev/urandom >"$work/files/small.bin"
head -c 1G /dev/urandom >"$work/files/large.bin"
cat "$work/files/large.bin" >/dev/null  # both servers read it from the page cache

ours_port=$(free_port)
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$ours_port" >/dev/null
"$cli" share add files "$work/files" >/dev/null
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 started <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
echo "$started"
sleep 1
idle_rss=$(rss_kib "$serve_pid")

nginx_port=$(free_port)
cat >"$work/nginx.conf" <<EOF
user root;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 8192; }
http {
  access_log off;
  sendfile on;
  keepalive_timeout 0;
  default_type application/octet-stream;
  client_body_temp_path $work/nginx-body;
  proxy_temp_path $work/nginx-proxy;
  fastcgi_temp_path $work/nginx-fastcgi;
  uwsgi_temp_path $work/nginx-uwsgi;
  scgi_temp_path $work/nginx-scgi;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work;
    location /files/ { }
  }
}
EOF
nginx -c "$work/nginx.conf"

ours=http://127.0.0.1:$ours_port/files
theirs=http://127.0.0.1:$nginx_port/files
curl -sf -o /dev/null "$ours/small.bin" || { echo "our server does not serve the file" >&2; exit 1; }
curl -sf -o /dev/null "$theirs/small.bin" || { echo "nginx does not serve the file" >&2; exit 1; }

echo
echo "4 KiB file, new connection per request (requests/s, server CPU µs per request):"
nginx_pids=$(cat "$work/nginx.pid"; ps --ppid "$(cat "$work/nginx.pid")" -o pid=)
read -r ours_rps ours_cpu < <(rate_and_cpu "$ours/small.bin" "$serve_pid")
# shellcheck disable=SC2086
read -r theirs_rps theirs_cpu < <(rate_and_cpu "$theirs/small.bin" $nginx_pids)
echo "  ours $ours_rps / nginx $theirs_rps = $(ratio "$ours_rps" "$theirs_rps") (at least 1.00x)"
echo "  CPU per request: ours $ours_cpu µs, nginx $theirs_cpu µs"

echo "1 GiB file, one download (bytes/s, best of three):"
ours_speed=$(best_download_speed "$ours/large.bin")
theirs_speed=$(best_download_speed "$theirs/large.bin")
echo "  ours $ours_speed / nginx $theirs_speed = $(ratio "$ours_speed" "$theirs_speed")"

echo "$held_count connections held in the middle of their header:"
coproc HELD { exec python3 "$here/held_connections.py" "$ours_port" "$held_count"; }
read -r -t 60 held_line <&"${HELD[0]}" || { echo "could not hold the connections" >&2; exit 1; }
sleep 1
held_rss=$(rss_kib "$serve_pid")
held_rps=$(requests_per_second "$ours/small.bin")
eval "exec ${HELD[1]}>&-"  # the holder closes its connections when its input ends
wait "$HELD_PID" 2>/dev/null || true
echo "  $held_line; server RSS $((held_rss / 1024)) MiB (limit 64)"
echo "  4 KiB rate with them: $held_rps, without: $ours_rps = $(ratio "$held_rps" "$ours_rps") (at least 0.80x)"

echo "Idle server RSS: $((idle_rss / 1024)).$(((idle_rss % 1024) * 10 / 1024)) MiB (limit 8)"
