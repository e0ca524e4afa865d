#!/usr/bin/env bash
# The thumbnail pages of a folder of 1,000 pictures indexed by pictorn, served by `sarvo-cli serve` on
# loopback, a new connection per request (wrk -t2 -c4, Connection: close):
#   - the list page (pixindex.$$$): all 1,000 entries, which reads every header of the index
#   - the preview of the LAST entry (?thumbnail): the index is searched from its start at each
#     request, so this is the slowest preview of the folder
#   - for scale, a small file of the same folder served as it is
# Prints requests per second of each, the sizes of the answers and of the index.
# The pictures are 10 distinct 640 x 480 JPEGs, each copied 100 times under its own name.
# Usage: bench/thumbs/thumbnail_pages.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli and
#        tools/pictorn/pictorn)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
pictorn=$(realpath "$build_dir/tools/pictorn/pictorn")
duration=${BENCH_SECONDS:-10}
distinct=10
copies=${BENCH_COPIES:-100}

for tool in vips wrk curl python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install libvips-tools wrk curl python3)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "no sarvo-cli in $build_dir/src/app" >&2; exit 1; }
[ -x "$pictorn" ] || { echo "no pictorn in $build_dir/tools/pictorn" >&2; exit 1; }
# Only four connections are open at a time; the limit is raised only where that is allowed.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

work=$(mktemp -d /tmp/sarvo-thumbpages-bench.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

requests_per_second() {
  wrk -t2 -c4 -d"${duration}s" -H 'Connection: close' "$1" | awk '/^Requests\/sec/ {print $2}'
}

echo "Making $((distinct * copies)) pictures ($distinct distinct 640x480 JPEGs) in $work/photos"
mkdir -p "$work/photos" "$work/gen" "$work/home"
for ((i = 0; i < distinct; i++)); do
  g="$work/gen"
  vips sines "$g/r.v" 640 480 --hfreq $((i + 2)) --vfreq $((i % 4 + 1))
  vips sines "$g/g.v" 640 480 --hfreq $((i % 3 + 1)) --vfreq $((i + 3))
  vips sines "$g/b.v" 640 480 --hfreq 1 --vfreq $((i + 1))
  vips bandjoin "$g/r.v $g/g.v $g/b.v" "$g/j.v"
  vips linear "$g/j.v" "$g/s.v" "120 120 120" "128 128 128"
  vips cast "$g/s.v" "$g/u.v" uchar
  vips jpegsave "$g/u.v" "$g/source.jpg" --Q 85
  for ((c = 0; c < copies; c++)); do
    cp "$g/source.jpg" "$work/photos/$(printf 'IMG_%02d%03d.jpg' "$i" "$c")"
  done
done
rm -rf "$work/gen"
printf 'a small file of the same folder\n' >"$work/photos/readme.txt"

start=$(date +%s.%N)
"$pictorn" "$work/photos" 0 >/dev/null
echo "pictorn indexed them in $(python3 -c "import sys; print('%.1f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$start" "$(date +%s.%N)") s"
index="$work/photos/pixindex.\$\$\$"
[ -f "$index" ] || { echo "pictorn wrote no index" >&2; exit 1; }
# The last entry in the index, read from the index itself: the tool writes names in its own order.
read -r entries last < <(python3 - "$index" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at, count, last = 0, 0, ""
while at + 284 <= len(data):
    last = data[at:at + 264].split(b"\0", 1)[0].decode()
    length = struct.unpack_from("<I", data, at + 272)[0]
    at += 284 + length
    count += 1
print(count, last)
PY
)
echo "index: $entries entries, $(stat -c %s "$index") bytes; last entry $last"

port=$(free_port)
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" share add photos "$work/photos" >/dev/null
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 started <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
echo "$started"

site="http://127.0.0.1:$port/photos"
list_url="$site/pixindex.\$\$\$"
preview_url="$site/$last?thumbnail"
file_url="$site/readme.txt"
# Each answer is checked once before it is timed, so that a page of errors is never measured.
list_bytes=$(curl -sf "$list_url" | tee "$work/list.html" | wc -c) || { echo "no list page" >&2; exit 1; }
listed=$(grep -o '?thumbnail"' "$work/list.html" | wc -l)
[ "$listed" -eq "$entries" ] || { echo "the list page shows $listed previews, the index holds $entries" >&2; exit 1; }
preview_type=$(curl -sf -o "$work/preview" -w '%{content_type}' "$preview_url") || { echo "no preview" >&2; exit 1; }
preview_bytes=$(stat -c %s "$work/preview")
[ "$preview_bytes" -gt 0 ] || { echo "the preview of $last is empty" >&2; exit 1; }
echo "list page: $list_bytes bytes; preview of $last: $preview_bytes bytes, $preview_type"

# The machine may be shared with other work: the load average says how busy it was.
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "list page, requests/s:            $(requests_per_second "$list_url")"
echo "preview of the last entry, req/s: $(requests_per_second "$preview_url")"
echo "small file, requests/s:           $(requests_per_second "$file_url")"
echo "load average after the runs:  $(cut -d' ' -f1-3 /proc/loadavg)"
