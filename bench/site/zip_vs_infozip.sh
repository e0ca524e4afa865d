#!/usr/bin/env bash
# Streams one tree of mixed text and random files (200 MB by default) as a Zip archive from
# `sarvo-cli serve` (GET /tree/?zipdld) and makes the same archive with Info-ZIP
# (zip -q -r -6 - TREE > /dev/null), in the same run, alternating, and prints:
#   - the wall time of each (best and median of BENCH_ROUNDS rounds) and ours / Info-ZIP
#   - our rate in MB/s (tree bytes / wall time) and the archive's size
#   - the time to the first byte of the response and to the first byte of the archive
# Usage: bench/site/zip_vs_infozip.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
here=$(dirname "$(realpath "$0")")
tree_mb=${BENCH_TREE_MB:-200}
rounds=${BENCH_ROUNDS:-3}

for tool in zip python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/sarvo-bench.XXXXXX)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "Preparing a ${tree_mb} MB tree in $work"
python3 "$here/make_tree.py" "$work/tree" "$tree_mb"
tree_bytes=$(find "$work/tree" -type f -printf "%s\n" | awk "{s += \$1} END {print s}")
# Both read the tree from the page cache.
find "$work/tree" -type f -exec cat {} + >/dev/null

port=$(free_port)
mkdir -p "$work/home"
export SARVO_HOME="$work/home"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" share add tree "$work/tree" --subfolders --zip >/dev/null
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 started <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
echo "$started"
sleep 1

python3 - "$port" "$work" "$rounds" "$tree_bytes" <<'PY'
import socket, statistics, subprocess, sys, time

port, work, rounds, tree_bytes = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), int(sys.argv[4])


def ours():
    """Wall time, time to the first response byte, to the first archive byte, archive size."""
    start = time.perf_counter()
    sock = socket.create_connection(('127.0.0.1', port))
    sock.sendall(b'GET /tree/?zipdld HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n')
    first = None
    first_data = None
    head = b''
    received = 0
    tail = b''
    while True:
        block = sock.recv(1 << 18)
        if not block:
            break
        now = time.perf_counter()
        if first is None:
            first = now
        received += len(block)
        if first_data is None:
            head += block
            end = head.find(b'\r\n\r\n')
            if end >= 0:
                line_end = head.find(b'\r\n', end + 4)
                if line_end >= 0 and len(head) > line_end + 2:
                    first_data = now
        tail = (tail + block)[-16:]
    wall = time.perf_counter() - start
    sock.close()
    if not tail.endswith(b'\r\n0\r\n\r\n'):
        sys.exit('the stream did not end with the last chunk')
    return wall, first - start, first_data - start, received


def infozip():
    start = time.perf_counter()
    with open('/dev/null', 'wb') as sink:
        subprocess.run(['zip', '-q', '-r', '-6', '-', 'tree'], cwd=work, stdout=sink, check=True)
    return time.perf_counter() - start


our_runs, zip_runs = [], []
for round_index in range(rounds):
    our_runs.append(ours())
    zip_runs.append(infozip())
    print('round %d: ours %.2f s, Info-ZIP %.2f s' % (round_index + 1, our_runs[-1][0], zip_runs[-1]))

our_walls = [run[0] for run in our_runs]
best, median = min(our_walls), statistics.median(our_walls)
zip_best, zip_median = min(zip_runs), statistics.median(zip_runs)
print()
print('Zip of %.0f MB (%d bytes):' % (tree_bytes / 1e6, tree_bytes))
print('  wall time, best:   ours %.2f s / Info-ZIP %.2f s = %.2fx' % (best, zip_best, best / zip_best))
print('  wall time, median: ours %.2f s / Info-ZIP %.2f s = %.2fx' % (median, zip_median, median / zip_median))
print('  our rate: %.1f MB/s of tree (best), stream of %d bytes' % (tree_bytes / 1e6 / best, our_runs[0][3]))
print('  time to first byte: response %.1f ms, archive data %.1f ms (median)' % (
    1000 * statistics.median(run[1] for run in our_runs), 1000 * statistics.median(run[2] for run in our_runs)))
PY
