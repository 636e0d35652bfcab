#!/usr/bin/env bash
# Builds the benchmarks (optimised, in their own build directory) when needed and
# runs them. Each line: NAME PLAYER_SECONDS REFERENCE_SECONDS RATIO, where RATIO
# is player time over reference time (above 1: the player is slower).
# BUILD_DIR chooses the build directory; an argument sets the minimum seconds per line.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
log="$BUILD_DIR/bench-build.log"
if ! cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target bench_heap >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi

"$BUILD_DIR/bin/bench_heap" "$@"
