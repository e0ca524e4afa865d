#!/usr/bin/env bash
# Builds the request fuzzer with clang's libFuzzer and the address and undefined-behaviour
# sanitizers, then runs it for the given number of seconds (default 60) over a corpus that persists
# in build-fuzz/corpus. Exits non-zero when the fuzzer finds a crash; the input that caused it is
# left in build-fuzz/ as crash-*.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"

packages=(clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$out/corpus"
# Only the units the fuzzed code needs, so the fuzzer builds in seconds and without the project's
# other dependencies.
sources=(
  "$root/tests/fuzz/RequestFuzzer.cpp"
  "$root/src/server/HttpRequest.cpp"
  "$root/src/server/ByteRange.cpp"
  "$root/src/common/Text.cpp"
)
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -I"$root/src" "${sources[@]}" -o "$out/request-fuzzer"

# Seeds: a few requests of the shapes the server meets. Written each run so that they stay current.
seed() { printf '%b' "$2" > "$out/corpus/seed-$1"; }
seed get 'GET /share/a%20b/c.txt?x HTTP/1.1\r\nHost: example\r\nRange: bytes=0-99\r\nIf-Range: "abc"\r\n\r\n'
seed head 'head / HTTP/1.0\r\n\r\n'
seed post 'POST /share/?postfile HTTP/1.1\r\nHost: h\r\nContent-Type: multipart/form-data; boundary=----xyz\r\nContent-Length: 123\r\nAuthorization: Basic dXNlcjpwYXNz\r\n\r\n'
seed part '\r\n------xyz\r\nContent-Disposition: form-data; name="f"; filename="C:\\dir\\photo.jpg"\r\nContent-Type: image/jpeg\r\n\r\n'
seed range '\xe8\x03\x00\x00\x00\x00\x00\x00bytes=-100'

cd "$out"
status=0
./request-fuzzer -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/" \
  -dict="$root/tests/fuzz/request.dict" "$out/corpus" || status=$?
if [ "$status" -ne 0 ]; then
  echo "fuzz: the fuzzer stopped with status $status; see the crash-* input in $out" >&2
fi
exit "$status"
