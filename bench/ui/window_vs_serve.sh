#!/usr/bin/env bash
# The desktop window's cost, measured on loopback:
#   - the 4 KiB new-connection rate (wrk -t2 -c32, Connection: close) against `sarvo-cli serve --quiet`
#     and against the server started from the window, whose clients list receives every event, in
#     the same run; the window's rate should be at least 0.9x;
#   - the GUI thread's lateness (a 10 ms timer's delay) during that load, p99 under 100 ms;
#   - the time from starting `sarvo` to its window being shown, and its resident memory when idle.
# Runs under xvfb-run when no display is set. Usage: bench/ui/window_vs_serve.sh BUILD_DIR
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=$(realpath "${1:?usage: $0 BUILD_DIR}")
if [ -z "${DISPLAY:-}" ] && [ -z "${INSIDE_XVFB:-}" ]; then
  INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
cli=$build_dir/src/app/sarvo-cli
sarvo=$build_dir/src/app/sarvo
window_load=$build_dir/bench/ui/window_load
duration=${BENCH_SECONDS:-10}
for tool in wrk xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make bench installs it)" >&2; exit 1; }
done
ulimit -n "$(ulimit -Hn)"

work=$(mktemp -d /tmp/sarvo-window-bench.XXXXXX)
pid=
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export SARVO_HOME=$work/home
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$work/files" "$SARVO_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
head -c 4096 /dev/urandom >"$work/files/small.bin"
port=$(free_port)
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" set idleprocess 0 >/dev/null
"$cli" share add files "$work/files" >/dev/null
url="http://127.0.0.1:$port/files/small.bin"

rate() { wrk -t2 -c32 -d"${duration}s" -H 'Connection: close' "$url" | awk '/^Requests\/sec/ {print $2}'; }

coproc SERVE { exec "$cli" serve --quiet; }
pid=$SERVE_PID
read -r -t 15 _ <&"${SERVE[0]}" || { echo "sarvo-cli serve did not start" >&2; exit 1; }
sleep 1
serve_rate=$(rate)
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=

coproc WINDOW { exec "$window_load" "$((duration + 3))"; }
pid=$WINDOW_PID
read -r -t 15 _ <&"${WINDOW[0]}" || { echo "the window's server did not start" >&2; exit 1; }
sleep 1
window_rate=$(rate)
read -r -t 30 lateness <&"${WINDOW[0]}" || lateness="no lateness figures"
wait "$pid" 2>/dev/null || true; pid=

echo "4 KiB, new connection per request: serve --quiet $serve_rate/s, window $window_rate/s ($(ratio "$window_rate" "$serve_rate"))"
echo "$lateness"

# Start-up: from exec to a mapped window titled "Sarvo", best and median of five starts.
start_times=()
for _ in 1 2 3 4 5; do
  begin=$(date +%s%N)
  "$sarvo" >/dev/null 2>&1 &
  pid=$!
  until xwininfo -root -tree | grep -qF '"Sarvo": ('; do
    kill -0 "$pid" 2>/dev/null || { echo "sarvo ended early" >&2; exit 1; }
    sleep 0.005
  done
  start_times+=($(( ($(date +%s%N) - begin) / 1000000 )))
  if [ ${#start_times[@]} -lt 5 ]; then
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  fi
done
sorted=($(printf '%s\n' "${start_times[@]}" | sort -n))
echo "start-up to window shown: best ${sorted[0]} ms, median ${sorted[2]} ms"
sleep 3
echo "idle resident memory of sarvo with its window shown: $(rss_kib "$pid") KiB"
