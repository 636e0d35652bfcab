#!/usr/bin/env bash
# Installs what is missing, builds everything, then runs the player on an
# example application (the game "bricks" unless another is named): in a window
# where an X display answers, headless otherwise, for a few seconds, leaving a
# screenshot of its last frame. `./run.sh NAME` runs the example NAME.
set -euo pipefail
cd "$(dirname "$0")"

examples=()
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.s" ] && examples+=("$name")
done
example=${1:-bricks}
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
  screenshot="$PWD/build/examples/$example-screenshot.png"
  echo "No display answers: running it headless for 150 frames at most."
  build/bin/mcbplayer --headless --frames 150 --screenshot "$screenshot" "build/examples/$example"
  echo "Its last frame is in $screenshot"
fi
