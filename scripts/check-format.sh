#!/usr/bin/env bash
# Checks that the C++ files changed since BASE (default: the uncommitted and
# staged changes against HEAD) are formatted as .clang-format says; prints a diff
# per file that is not and exits 1. Before sending a branch, run it with the
# branch it starts from: `scripts/check-format.sh main`. Without clang-format it
# says so and passes.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed; skipped"
  exit 0
fi
base=${1:-HEAD}
mapfile -t files < <( { git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h'
                        git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | sort -u)
status=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format "$f" | diff -u --label "$f" --label "$f (formatted)" "$f" - ; then
    status=1
  fi
done
if [ $status = 0 ]; then
  echo "check-format: ${#files[@]} changed file(s) formatted"
else
  echo "check-format: run clang-format -i on the files above" >&2
fi
exit $status
