#!/usr/bin/env bash
# Builds the benchmarks (optimised, in their own build directory) when needed and
# runs them. Each line: NAME PLAYER_SECONDS REFERENCE_SECONDS RATIO, where RATIO
# is player time over reference time (above 1: the player is slower). The
# interpreter and native lines (bench_vm, bench_strings) have Lua 5.4 as
# reference, the file lines dd and cat, the heap lines glibc. The last line,
# "geomean RATIO worst NAME RATIO", summarises the lines that have a Lua reference.
# BUILD_DIR chooses the build directory; an argument sets the minimum seconds per line.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
LUA=${LUA:-lua5.4}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
log="$BUILD_DIR/bench-build.log"
if ! cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target bench_heap bench_gc bench_vm bench_strings bench_files bench_graphics bench_mixer >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
if ! command -v "$LUA" >/dev/null; then
  echo "run.sh: $LUA not found (scripts/install-deps.sh installs it); Lua columns show -" >&2
fi

# A wrong result or a failed program stops the run (pipefail) with the runner's message.
lines="$BUILD_DIR/bench-lua-lines.txt"
{
  "$BUILD_DIR/bin/bench_vm" --lua "$LUA" ${1:+--min "$1"}
  "$BUILD_DIR/bin/bench_strings" --lua "$LUA" ${1:+--min "$1"}
} | tee "$lines"
"$BUILD_DIR/bin/bench_files"
"$BUILD_DIR/bin/bench_graphics"
"$BUILD_DIR/bin/bench_heap" "$@"
"$BUILD_DIR/bin/bench_gc" --lua "$LUA"
"$BUILD_DIR/bin/bench_mixer" "$@"

# Geometric mean and worst ratio over the lines with a Lua time.
awk '$4 ~ /^[0-9.]+$/ {
       n++; logs += log($4)
       if ($4 > worst) { worst = $4; name = $1 }
     }
     END {
       if (n == 0) print "geomean - worst - -"
       else printf "geomean %.2f worst %s %.2f\n", exp(logs / n), name, worst
     }' "$lines"
