#!/usr/bin/env bash
# Installs what is missing, builds everything and says what can be run.
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
if [ ! -x build/bin/mcbplayer ]; then
  echo "The player itself is not built yet; the VM core, its tools and tests are."
  echo "Run ./test.sh to run the test suite."
fi
