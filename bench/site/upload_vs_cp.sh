#!/usr/bin/env bash
# Uploads one file of random bytes (1 GiB by default) with `curl -F` into a folder of
# `sarvo-cli serve` that allows posting, and copies the same file with cp in the same run, and
# prints:
#   - the upload's rate in MB/s (file bytes / curl's total time) and cp's, and ours / cp
#   - for scale, the rate of the same curl -F into a socket that only discards what it receives
#   - the server's resident memory before the upload and its peak during it (limit: 16 MiB growth)
# The uploaded file is compared with the source byte for byte.
# Usage: bench/site/upload_vs_cp.sh BUILD_DIR   (BUILD_DIR holds src/app/sarvo-cli)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/../lib/loopback.sh"

build_dir=${1:?usage: $0 BUILD_DIR}
cli=$(realpath "$build_dir/src/app/sarvo-cli")
file_mb=${BENCH_UPLOAD_MIB:-1024}

for tool in curl python3 cmp; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/sarvo-bench.XXXXXX)
serve_pid=
sampler_pid=
cleanup() {
  [ -n "$sampler_pid" ] && kill "$sampler_pid" 2>/dev/null
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  python3 -c "print('%.3f' % ($end - $start))"
}

echo "Preparing a ${file_mb} MiB file in $work"
mkdir -p "$work/home" "$work/uploads" "$work/copies"
head -c "${file_mb}M" /dev/urandom >"$work/source.bin"
file_bytes=$(stat -c %s "$work/source.bin")
cat "$work/source.bin" >/dev/null

port=$(free_port)
export SARVO_HOME="$work/home"
# The spool file goes to the same disk as the copies.
export TMPDIR="$work"
"$cli" set listen_ip 127.0.0.1 >/dev/null
"$cli" set listen_port "$port" >/dev/null
"$cli" share add up "$work/uploads" --post >/dev/null
coproc SERVE { exec "$cli" serve --quiet; }
serve_pid=$SERVE_PID
read -r -t 15 started <&"${SERVE[0]}" || { echo "server did not start" >&2; exit 1; }
echo "$started"
sleep 1

cp_seconds=$(seconds_of cp "$work/source.bin" "$work/copies/copy.bin")
rm -f "$work/copies/copy.bin"

# What loopback and curl alone allow: a listener that reads the request to its end and answers.
sink_port=$(free_port)
python3 - "$sink_port" "$file_bytes" <<'PY' &
import socket, sys
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(('127.0.0.1', int(sys.argv[1])))
listener.listen(1)
listener.settimeout(120)
client, _ = listener.accept()
client.settimeout(120)
received = 0
while received < int(sys.argv[2]):
    block = client.recv(1 << 20)
    if not block:
        break
    received += len(block)
client.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n')
client.close()
PY
sink_pid=$!
sleep 0.5
sink_seconds=$(curl -s -o /dev/null -w '%{time_total}' -F "fp=@$work/source.bin" "http://127.0.0.1:$sink_port/")
wait "$sink_pid" 2>/dev/null || true

rss_before=$(rss_kib "$serve_pid")
python3 - "$serve_pid" >"$work/rss-peak" <<'PY' &
import sys, time
peak = 0
try:
    while True:
        with open('/proc/%s/status' % sys.argv[1]) as status:
            for line in status:
                if line.startswith('VmRSS'):
                    peak = max(peak, int(line.split()[1]))
        sys.stdout.write('%d\n' % peak)
        sys.stdout.flush()
        time.sleep(0.02)
except (FileNotFoundError, ProcessLookupError):
    pass
PY
sampler_pid=$!

result=$(curl -s -o "$work/answer.html" -w '%{time_total}' -F "fp=@$work/source.bin;filename=source.bin" \
  "http://127.0.0.1:$port/up/?postfile")
sleep 0.2
kill "$sampler_pid" 2>/dev/null || true
wait "$sampler_pid" 2>/dev/null || true
sampler_pid=
rss_peak=$(tail -n 1 "$work/rss-peak")

grep -q "1 Files: source.bin (" "$work/answer.html" || { echo "the upload was not reported" >&2; exit 1; }
cmp "$work/source.bin" "$work/uploads/source.bin" || { echo "the uploaded file differs" >&2; exit 1; }

python3 - "$file_bytes" "$result" "$cp_seconds" "$rss_before" "$rss_peak" "$sink_seconds" <<'PY'
import sys
size, upload, copy, before, peak, sink = (int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]),
                                          int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6]))
print()
print('Upload of %d MiB with curl -F:' % (size >> 20))
print('  ours %.1f MB/s (%.2f s) / cp %.1f MB/s (%.2f s) = %.2fx' % (
    size / 1e6 / upload, upload, size / 1e6 / copy, copy, (size / upload) / (size / copy)))
print('  curl -F into a discarding socket: %.1f MB/s (%.2f s)' % (size / 1e6 / sink, sink))
print('  server RSS %.1f MiB before, peak %.1f MiB, growth %.1f MiB (limit 16)' % (
    before / 1024, peak / 1024, (peak - before) / 1024))
PY
