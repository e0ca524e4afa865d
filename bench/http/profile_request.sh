#!/usr/bin/env bash
# Counts the instructions of one request with callgrind: its admission, and its serving
# from its first bytes until the connection is closed, and prints where they go and what the settings store
# took of them. With BENCH_PUBLISHED=N, N folders are shared and N files published first (a third
# each ".txt", ".htm" and ".mp3"), so that PATH / profiles a full home page.
# Usage: bench/http/profile_request.sh BUILD_DIR [PATH]   (default PATH: a 4 KiB file)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR [PATH]}
here=$(dirname "$(realpath "$0")")
published=${BENCH_PUBLISHED:-0}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
command -v valgrind >/dev/null || { echo "missing valgrind" >&2; exit 1; }

work=$(mktemp -d /tmp/sarvo-profile.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  [ -n "${KEEP_PROFILE:-}" ] && cp "$work/callgrind.out" "$KEEP_PROFILE"
  rm -rf "$work"
}
trap cleanup EXIT

port=$(free_port)
mkdir -p "$work/files" "$work/home"
head -c 4096 /dev/urandom >"$work/files/small.bin"
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" share add files "$work/files" >/dev/null
mkdir -p "$work/published"
for i in $(seq 1 "$published"); do
  case $((i % 3)) in
    0) head -c 4096 /dev/zero | tr '\0' t >"$work/published/file$i.txt" ;;
    1) echo "<html><title>Page $i</title></html>" >"$work/published/file$i.htm" ;;
    2) { head -c 4096 /dev/zero; printf 'TAG%-125s' "Song $i"; } >"$work/published/file$i.mp3" ;;
  esac
  "$cli" share add "folder$i" "$work/published" --desc "Folder number $i" >/dev/null
done
for file in "$work"/published/*; do
  [ -e "$file" ] && "$cli" publish "$file" >/dev/null
done

coproc SERVE {
  exec valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" --collect-atstart=no \
    --toggle-collect='sarvo::(anonymous namespace)::AdmitArrival(*' \
    --toggle-collect='sarvo::(anonymous namespace)::ServeArrival(*' "$cli" serve --quiet 2>"$work/valgrind.log"
}
serve_pid=$SERVE_PID
read -r -t 60 started <&"${SERVE[0]}" || { echo "server did not start" >&2; cat "$work/valgrind.log" >&2; exit 1; }
# Warms the settings copy and the threads that take turns at the queue.
for _ in 1 2 3 4; do curl -s -o /dev/null "http://127.0.0.1:$port/files/small.bin"; done
sleep 1
callgrind_control -z "$serve_pid" >/dev/null  # counts only the request below
curl -s -o /dev/null -w 'status %{http_code}\n' "http://127.0.0.1:$port${2:-/files/small.bin}"
sleep 1
kill -INT "$serve_pid"
wait "$serve_pid" || true
serve_pid=
echo "One request after a warm-up request; instructions inclusive, by function:"
callgrind_annotate --inclusive=yes "$work/callgrind.out" 2>/dev/null | sed -n '1,60p'
echo
python3 "$here/../lib/store_share.py" "$work/callgrind.out"
