#!/usr/bin/env bash
# Runs every benchmark of a build made with -DSARVO_BUILD_BENCH=ON and prints its figures.
set -euo pipefail
build_dir=${1:?usage: run-all.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)

"$build_dir/bench/store_bench" --benchmark_time_unit=us

if [ -x "$here/server/run.sh" ]; then
  "$here/server/run.sh" "$build_dir"
fi
