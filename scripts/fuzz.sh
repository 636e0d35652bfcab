#!/usr/bin/env bash
# Builds every libFuzzer target (the executables named *_fuzz) with clang into
# build-fuzz/ and runs each in turn for MINUTES minutes (default 10; fractions
# such as 0.5 work), one after another, on its corpus in fuzz/corpus/<target>/.
# New inputs stay in that folder (git keeps only the seed-* files). An input
# that fails is saved in build-fuzz/findings/<target>/ and the status is 1.
# FUZZ_RUNS=N runs each target for N executions instead of a time (a long
# campaign); FUZZ_FLAGS adds libFuzzer options (e.g. -entropic=0).
set -euo pipefail
cd "$(dirname "$0")/.."

MINUTES=${1:-10}
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=$(awk -v m="$MINUTES" 'BEGIN { s = int(m * 60); print (s < 1 ? 1 : s) }')

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DMCB_FUZZ=ON >/dev/null
targets=$(cmake --build "$BUILD" --target help | sed -n 's/^\([A-Za-z0-9_]*_fuzz\): .*/\1/p' | sort -u)
if [ -z "$targets" ]; then
  echo "fuzz.sh: no fuzz targets (is clang installed?)" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$(nproc)" --target $targets

status=0
for target in $targets; do
  [ -x "$BUILD/bin/$target" ] || continue  # a library of the fuzz build, not a target
  mkdir -p "fuzz/corpus/$target" "$BUILD/findings/$target"
  log="$BUILD/findings/$target/last-run.log"
  if [ -n "${FUZZ_RUNS:-}" ]; then limit="-runs=$FUZZ_RUNS"; else limit="-max_total_time=$SECONDS_EACH"; fi
  echo "== $target ($limit) =="
  # shellcheck disable=SC2086
  if "$BUILD/bin/$target" "$limit" -timeout=30 -rss_limit_mb=2048 ${FUZZ_FLAGS:-} \
       -print_final_stats=1 -artifact_prefix="$BUILD/findings/$target/" "fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$target: $result, ${runs:-?} executions, corpus $(ls "fuzz/corpus/$target" | wc -l) inputs (log: $log)"
done
exit $status
