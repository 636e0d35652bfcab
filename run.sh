#!/usr/bin/env bash
# Installs what is missing, builds everything, then runs the player on an
# example application: in a window where an X display answers, headless
# otherwise. `./run.sh NAME` runs the example NAME instead of the default.
set -euo pipefail
cd "$(dirname "$0")"

examples=()
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.s" ] && examples+=("$name")
done
example=${1:-ticker}
if [[ ! " ${examples[*]} " == *" $example "* ]]; then
  echo "run.sh: there is no example '$example'. The examples are: ${examples[*]}" >&2
  echo "Run one with: ./run.sh NAME" >&2
  exit 2
fi

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"

echo
echo "Built in build/bin:"
echo "  mcbplayer   runs an application:     build/bin/mcbplayer [OPTIONS] [APP]   (--help for more)"
echo "  mcbasm      assembles an image:      build/bin/mcbasm SOURCE -o IMAGE"
echo "  mcbdis      prints an image:         build/bin/mcbdis IMAGE"
echo
echo "Running the example '$example' (build/examples/$example)."
echo "The examples are: ${examples[*]}; run another with ./run.sh NAME."
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  build/bin/mcbplayer "build/examples/$example"
else
  echo "No display answers: running it headless."
  build/bin/mcbplayer --headless "build/examples/$example"
fi
