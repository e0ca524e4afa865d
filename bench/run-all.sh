#!/usr/bin/env bash
# Runs every benchmark binary of a build: ./bench/run-all.sh BUILD_DIR [benchmark options...]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [benchmark options...]" >&2
  exit 2
fi
build_dir=$1
shift

bench_dir="$build_dir/bench"
if [ ! -d "$bench_dir" ]; then
  echo "no benchmarks in $bench_dir (configure with -DSARVO_BUILD_BENCH=ON)" >&2
  exit 1
fi

mapfile -t binaries < <(find "$bench_dir" -path '*/CMakeFiles' -prune -o -type f -executable -name '*_bench' -print | sort)
if [ ${#binaries[@]} -eq 0 ]; then
  echo "no benchmark binaries in $bench_dir" >&2
  exit 1
fi

status=0
for binary in "${binaries[@]}"; do
  echo "== $(basename "$binary")"
  "$binary" "$@" || status=1
done
exit $status
