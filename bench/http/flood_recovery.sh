#!/usr/bin/env bash
# What `sarvo-cli serve` keeps after a flood: descriptors, resident memory and threads when idle, while
# 2,000 connections are held in the middle of their header and 2,000 requests are answered, and
# again once every connection is gone. The figures after the flood should be within twice the idle
# ones.
#
# Usage: bench/http/flood_recovery.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli)
set -euo pipefail

here=$(dirname "$(realpath "$0")")
. "$here/../lib/loopback.sh"
build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
flood_count=2000

work=$(mktemp -d /tmp/sarvo-flood.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

descriptors() { ls "/proc/$1/fd" | wc -l; }
database_descriptors() { find "/proc/$1/fd" -lname '*settings.db*' 2>/dev/null | wc -l; }
threads() { awk '/^Threads/ {print $2}' "/proc/$1/status"; }
figures() {
  echo "  descriptors $(descriptors "$serve_pid") (settings.db $(database_descriptors "$serve_pid")), RSS $(($(rss_kib "$serve_pid") / 1024)) MiB, threads $(threads "$serve_pid")"
}

mkdir -p "$work/files" "$work/home"
head -c 4096 /dev/urandom >"$work/files/small.bin"
port=$(free_port)
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" share add files "$work/files" >/dev/null
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 _ <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
curl -sf -o /dev/null "http://127.0.0.1:$port/files/small.bin"
sleep 1
idle_fd=$(descriptors "$serve_pid")
idle_rss=$(rss_kib "$serve_pid")
idle_threads=$(threads "$serve_pid")
echo "Idle:"
figures

coproc HELD { exec python3 "$here/held_connections.py" "$port" "$flood_count"; }
read -r -t 60 _ <&"${HELD[0]}" || { echo "could not hold the connections" >&2; exit 1; }
sleep 1
echo "$flood_count connections held in their header:"
figures
eval "exec ${HELD[1]}>&-"
wait "$HELD_PID" 2>/dev/null || true

# Requests in parallel, so that many connection threads read the settings at once.
seq "$flood_count" | xargs -P 64 -I{} curl -sf -o /dev/null "http://127.0.0.1:$port/files/small.bin"
echo "$flood_count requests answered, 64 at a time:"
figures

# Idle connection threads end after ten seconds without a connection.
for _ in $(seq 75); do
  [ "$(threads "$serve_pid")" -le "$idle_threads" ] && break
  sleep 0.2
done
sleep 1
echo "After the flood:"
figures
after_fd=$(descriptors "$serve_pid")
after_rss=$(rss_kib "$serve_pid")
echo "Descriptors after/idle $(ratio "$after_fd" "$idle_fd"), RSS after/idle $(ratio "$after_rss" "$idle_rss") (limit 2x each)"
