#!/usr/bin/env bash
# Compares two optimised builds on the interpreter and native lines, in a way that
# holds up on a noisy machine: for each line, ROUNDS (default 4) alternating rounds
# of best-of-3 on each build, keeping each side's best time. Prints one line per
# benchmark, NAME BASE_SECONDS NEW_SECONDS NEW/BASE, then "geomean RATIO".
# Usage: bench/compare.sh BASE_BUILD_DIR NEW_BUILD_DIR [NAME...]   (default: every line)
# Build each side with -DCMAKE_BUILD_TYPE=Release (bench/run.sh's build directory
# will do for one of them; a git worktree gives the other).
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,8s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
base=$1 new=$2
shift 2
rounds=${ROUNDS:-4}
for dir in "$base" "$new"; do
  for runner in bench_vm bench_strings; do
    [ -x "$dir/bin/$runner" ] || { echo "compare.sh: $dir/bin/$runner is not built" >&2; exit 1; }
  done
done

names_of() { "$base/bin/$1" --help 2>&1 | sed -n 's/^benchmarks: //p'; }
declare -A runner_of
for runner in bench_vm bench_strings; do
  for name in $(names_of "$runner"); do runner_of[$name]=$runner; done
done
[ $# -gt 0 ] || set -- $(names_of bench_vm) $(names_of bench_strings)

# The best of three runs of one line on one build; a failed or wrong run stops the comparison.
seconds() {
  local line
  line=$("$1/bin/$2" --runs 3 --min 0 --lua /bin/false "$3") || exit 1
  echo "${line}" | awk '{ print $2 }'
}
for name in "$@"; do
  runner=${runner_of[$name]:-}
  [ -n "$runner" ] || { echo "compare.sh: no benchmark named $name" >&2; exit 1; }
  a=inf b=inf
  for ((r = 0; r < rounds; r++)); do
    x=$(seconds "$base" "$runner" "$name") && y=$(seconds "$new" "$runner" "$name") || exit 1
    a=$(awk -v x="$x" -v m="$a" 'BEGIN { print (m == "inf" || x < m) ? x : m }')
    b=$(awk -v x="$y" -v m="$b" 'BEGIN { print (m == "inf" || x < m) ? x : m }')
  done
  awk -v n="$name" -v a="$a" -v b="$b" 'BEGIN { printf "%s %.4f %.4f %.3f\n", n, a, b, b / a }'
done | awk '{ print; n++; logs += log($4) } END { if (n) printf "geomean %.3f\n", exp(logs / n) }'
