#!/usr/bin/env bash
# Installs what is missing, builds everything, then runs the player on an
# example application (the game "bricks" unless another is named): in a window
# where an X display answers, headless otherwise, for a few seconds, leaving a
# screenshot of its last frame.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"

echo
echo "Built in build/bin:"
for exe in build/bin/*; do
  [ -x "$exe" ] && echo "  $(basename "$exe")"
done

example=${1:-bricks}
echo
echo "Running the example '$example' (build/examples/$example/index.mcb):"
cd "build/examples/$example"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  ../../bin/mcbplayer
else
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    export XDG_RUNTIME_DIR
  fi
  screenshot="$(cd .. && pwd)/$example-screenshot.png"
  ../../bin/mcbplayer --headless --frames 150 --screenshot "$screenshot"
  echo "No display: ran it headless (150 frames at most); its last frame is in $screenshot"
fi
