#!/usr/bin/env bash
# The listing pages against nginx's autoindex, side by side in one run on loopback, and the home page:
#   - a folder of 10,000 files: our listing and nginx's autoindex, a new connection per request
#     (wrk -t2 -c4, Connection: close), in alternating rounds so that a change in the machine's load
#     falls on both; the medians, ours / nginx, and each server's CPU time per request
#   - a home page with 200 published folders and 200 published files (a third each ".txt", ".htm"
#     and ".mp3"): requests per second, and what one page costs in store reads and opened files
#     (site_pages_bench, when the build has it)
# Usage: bench/site/listing_vs_nginx.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
duration=${BENCH_SECONDS:-10}
rounds=${BENCH_ROUNDS:-5}
round_seconds=${BENCH_ROUND_SECONDS:-4}
file_count=${BENCH_LISTING_FILES:-10000}
published_count=${BENCH_PUBLISHED:-200}

for tool in nginx wrk curl python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make bench installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/sarvo-site-bench.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

requests_per_second() {
  wrk -t2 -c4 -d"${2:-$duration}s" -H 'Connection: close' "$1" | awk '/^Requests\/sec/ {print $2}'
}

# User and system CPU seconds of the given processes so far.
cpu_seconds() {
  local ticks=0 pid
  for pid in "$@"; do
    ticks=$((ticks + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
  done
  python3 -c "import os,sys; print(int(sys.argv[1]) / os.sysconf('SC_CLK_TCK'))" "$ticks"
}

median() { python3 -c "import statistics,sys; print('%.2f' % statistics.median(float(a) for a in sys.argv[1:]))" "$@"; }

# Runs rounds of wrk against one server and prints "requests/s cpu-ms-per-request".
measure_round() {
  local url=$1; shift
  local before after rps
  before=$(cpu_seconds "$@")
  rps=$(requests_per_second "$url" "$round_seconds")
  after=$(cpu_seconds "$@")
  python3 -c "import sys; r,b,a,s=map(float,sys.argv[1:]); print(r, '%.2f' % ((a-b)*1000/(r*s) if r else 0))" \
    "$rps" "$before" "$after" "$round_seconds"
}

echo "Preparing $file_count files and $published_count published folders and files in $work"
mkdir -p "$work/listing" "$work/published" "$work/home"
python3 - "$work" "$file_count" "$published_count" <<'PY'
import os, sys
work, count, published = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(count):
    with open(os.path.join(work, "listing", "entry%06d.txt" % i), "wb") as out:
        out.write(b"x" * (i % 5000))
for i in range(published):
    kind = (".txt", ".htm", ".mp3")[i % 3]
    with open(os.path.join(work, "published", "file%04d%s" % (i, kind)), "wb") as out:
        if kind == ".htm":
            out.write(b"<html><title>Page %d</title></html>" % i)
        elif kind == ".mp3":
            out.write(b"\0" * 4096 + (b"TAG" + b"Song %d" % i).ljust(128, b" "))
        else:
            out.write(b"t" * 4096)
PY

ours_port=$(free_port)
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$ours_port" >/dev/null
"$cli" share add listing "$work/listing" >/dev/null
for i in $(seq 1 "$published_count"); do
  "$cli" share add "folder$i" "$work/published" --desc "Folder number $i" >/dev/null
done
for file in "$work"/published/*; do
  "$cli" publish "$file" >/dev/null
done
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 started <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
echo "$started"

nginx_port=$(free_port)
cat >"$work/nginx.conf" <<CONF
user root;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 8192; }
http {
  access_log off;
  keepalive_timeout 0;
  client_body_temp_path $work/nginx-body;
  proxy_temp_path $work/nginx-proxy;
  fastcgi_temp_path $work/nginx-fastcgi;
  uwsgi_temp_path $work/nginx-uwsgi;
  scgi_temp_path $work/nginx-scgi;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work;
    location /listing/ { autoindex on; }
  }
}
CONF
nginx -c "$work/nginx.conf"

ours=http://127.0.0.1:$ours_port
theirs=http://127.0.0.1:$nginx_port
ours_size=$(curl -sf "$ours/listing/" | wc -c) || { echo "our server does not list the folder" >&2; exit 1; }
theirs_size=$(curl -sf "$theirs/listing/" | wc -c) || { echo "nginx does not list the folder" >&2; exit 1; }
home_size=$(curl -sf "$ours/" | wc -c)

echo
echo "Listing of $file_count files, new connection per request, $rounds alternating rounds of ${round_seconds}s"
echo "(page bytes ours $ours_size, nginx $theirs_size):"
nginx_pids=$(cat "$work/nginx.pid" ; ps --ppid "$(cat "$work/nginx.pid")" -o pid=)
ours_rates=(); theirs_rates=(); ours_cpu=(); theirs_cpu=()
for round in $(seq 1 "$rounds"); do
  read -r rate cpu < <(measure_round "$ours/listing/" "$serve_pid")
  ours_rates+=("$rate"); ours_cpu+=("$cpu")
  # shellcheck disable=SC2086
  read -r rate cpu < <(measure_round "$theirs/listing/" $nginx_pids)
  theirs_rates+=("$rate"); theirs_cpu+=("$cpu")
  echo "  round $round: ours ${ours_rates[-1]} req/s (${ours_cpu[-1]} ms CPU/req), nginx ${theirs_rates[-1]} req/s (${theirs_cpu[-1]} ms CPU/req)"
done
ours_rps=$(median "${ours_rates[@]}")
theirs_rps=$(median "${theirs_rates[@]}")
echo "  median: ours $ours_rps / nginx $theirs_rps = $(ratio "$ours_rps" "$theirs_rps") (at least 1.00x)"
echo "  CPU per request, median: ours $(median "${ours_cpu[@]}") ms, nginx $(median "${theirs_cpu[@]}") ms"

echo "Home page with $published_count published folders and $published_count published files ($home_size bytes):"
home_rps=$(requests_per_second "$ours/")
echo "  ours $home_rps requests/s"

pages_bench="$build_dir/bench/site/site_pages_bench"
if [ -x "$pages_bench" ]; then
  echo "Store reads and opened files per page (site_pages_bench):"
  "$pages_bench" --benchmark_min_time=2 2>/dev/null | grep '^BM_' | sed 's/^/  /'
fi
