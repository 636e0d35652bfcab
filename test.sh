#!/usr/bin/env bash
# Installs what is missing, checks that includes point down the layers and that
# changed files are formatted, builds the player twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer, without the benchmarks) and runs
# every test in both; with clang, every fuzz target then runs for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
JOBS=$(nproc)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

status=0
echo "== source checks =="
./scripts/check-layers.sh || status=1
./scripts/check-format.sh || status=1
build build
echo "== tests (plain build) =="
ctest --test-dir build -j "$JOBS" --output-on-failure || status=1

if [ "${MCB_SKIP_SANITIZE:-0}" != 1 ]; then
  build build-asan -DMCB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DMCB_BENCHMARKS=OFF
  echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
    ctest --test-dir build-asan -j "$JOBS" --output-on-failure || status=1
fi
if command -v clang++ >/dev/null; then
  echo "== fuzz targets, 30 s each =="
  ./scripts/fuzz.sh 0.5 || status=1
fi
exit $status
