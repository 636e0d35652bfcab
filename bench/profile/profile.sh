#!/usr/bin/env bash
# Profiles one benchmark program on the player alone (no Lua): the functions by
# self time and the interpreter's handlers by share of all samples (perf, CPU-clock
# sampling, which works without hardware counters), and with a second argument
# the dispatches per handler from that many seconds under callgrind.
# usage: bench/profile/profile.sh NAME [CALLGRIND_SECONDS]
# BUILD_DIR (default build-prof) is an optimised build with debug information.
set -euo pipefail
cd "$(dirname "$0")/../.."

name=${1:?usage: bench/profile/profile.sh NAME [CALLGRIND_SECONDS]}
BUILD_DIR=${BUILD_DIR:-build-prof}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS=-g -fno-omit-frame-pointer" >/dev/null
fi
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target bench_vm bench_strings >/dev/null
case $name in
  str_*|vec_*) runner=$BUILD_DIR/bin/bench_strings ;;
  *) runner=$BUILD_DIR/bin/bench_vm ;;
esac
out=$BUILD_DIR/profile
mkdir -p "$out"
args=(--runs 1 --min 0 --lua /bin/false "$name")

perf record -q -e cpu-clock -F 2000 -g -o "$out/$name.data" "$runner" "${args[@]}" >/dev/null
echo "== functions by self time"
perf report -i "$out/$name.data" --no-children --sort sym --stdio -g none 2>/dev/null | grep '%' | head -20
echo "== interpreter handlers, share of all samples"
perf report -i "$out/$name.data" --no-children --sort srcline --symbols=VirtualMachine::run \
  --stdio -g none 2>/dev/null | python3 bench/profile/handlers.py 20

if [ -n "${2:-}" ]; then
  rm -f "$out/$name.cg"*
  valgrind -q --tool=callgrind --dump-instr=yes --callgrind-out-file="$out/$name.cg" \
    "$runner" "${args[@]}" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq "$2"); do
    sleep 1
    kill -0 "$pid" 2>/dev/null || break
  done
  if kill -0 "$pid" 2>/dev/null; then
    callgrind_control -d "$pid" >/dev/null 2>&1
    sleep 2
    kill "$pid"
  fi
  wait "$pid" 2>/dev/null || true
  echo "== dispatches per handler (callgrind)"
  python3 bench/profile/dispatches.py "$runner" "$out/$name.cg"*
fi
