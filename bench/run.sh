#!/usr/bin/env bash
# Builds the benchmarks (optimised, in their own build directory) when needed and
# runs them. Each line: NAME PLAYER_SECONDS REFERENCE_SECONDS RATIO, where RATIO
# is player time over reference time (above 1: the player is slower). The
# interpreter lines have Lua 5.4 as reference, the heap lines glibc.
# BUILD_DIR chooses the build directory; an argument sets the minimum seconds per line.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
LUA=${LUA:-lua5.4}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
log="$BUILD_DIR/bench-build.log"
if ! cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target bench_heap bench_vm bench_strings bench_files bench_graphics bench_mixer >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
if ! command -v "$LUA" >/dev/null; then
  echo "run.sh: $LUA not found (scripts/install-deps.sh installs it); Lua columns show -" >&2
fi

"$BUILD_DIR/bin/bench_vm" --lua "$LUA" ${1:+--min "$1"}
"$BUILD_DIR/bin/bench_strings" --lua "$LUA" ${1:+--min "$1"}
"$BUILD_DIR/bin/bench_files"
"$BUILD_DIR/bin/bench_graphics"
"$BUILD_DIR/bin/bench_heap" "$@"
"$BUILD_DIR/bin/bench_mixer" "$@"
