#!/usr/bin/env bash
# Times two builds of the project turn about on the same machine, for a
# before/after table: the forward kernel benchmarks (bench_forward) and the
# Octave benchmarks of batches, the rescaled step and the gradient, each
# program run once per round for each build, old first, in ROUNDS rounds.
#
#   tools/compare_speed.sh OLD_BUILD NEW_BUILD [ROUNDS]
#
# Each build folder is a Release tree with benchmarks (cmake
# -DMEMBERSHIP_MEX_BUILD_BENCHMARKS=ON): OLD_BUILD/bench/bench_forward and
# OLD_BUILD/octave/*.mex. The Octave scripts are this tree's, so that both
# builds run the same measurement; the output goes to stdout, labelled by
# build and round.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: $0 OLD_BUILD NEW_BUILD [ROUNDS]" >&2
  exit 2
fi
builds=("$(realpath "$1")" "$(realpath "$2")")
rounds=${3:-2}
filter='kernel/subsets/L:(8|10|12|14)/T:100/(raw|normalised)/threads:1/|kernel/(subsets|shuffled)/L:(14|16)/T:200/(raw|normalised)/threads:0/'

for build in "${builds[@]}"; do
  for file in bench/bench_forward octave/Zellmor_mex.mex octave/Zellmor_raw_mex.mex octave/Zellmor_grad_mex.mex; do
    [ -e "$build/$file" ] || { echo "$build/$file is missing: build it with the benchmarks on" >&2; exit 1; }
  done
done

for round in $(seq "$rounds"); do
  for build in "${builds[@]}"; do
    echo "=== round $round, $build: bench_forward"
    "$build/bench/bench_forward" --benchmark_filter="$filter" --benchmark_repetitions=3 \
      --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
      --benchmark_color=false 2>&1 | grep -E "_median|^ratio rescaled"
  done
  for script in bench_batches bench_gradient; do
    for build in "${builds[@]}"; do
      echo "=== round $round, $build: $script.m"
      MEX_MODULE_DIR="$build/octave" octave-cli --no-history -q "bench/$script.m"
    done
  done
done
