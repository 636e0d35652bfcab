#!/usr/bin/env bash
# Installs what is missing, builds the player twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both;
# with clang, every fuzz target then runs for 30 seconds.
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
build build
echo "== tests (plain build) =="
ctest --test-dir build -j "$JOBS" --output-on-failure || status=1

if [ "${MCB_SKIP_SANITIZE:-0}" != 1 ]; then
  build build-asan -DMCB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j "$JOBS" --output-on-failure || status=1
fi
if command -v clang++ >/dev/null; then
  echo "== fuzz targets, 30 s each =="
  ./scripts/fuzz.sh 0.5 || status=1
fi
exit $status
