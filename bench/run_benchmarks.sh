#!/usr/bin/env bash
# Regenerates every figure of docs/performance.md: builds a Release tree in
# build-bench, runs the kernel benchmarks (each side by side with the literal
# implementation) and the Octave comparisons (bench_octave.m redraws
# docs/performance.png). The console output is also kept in build-bench/results.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DMEMBERSHIP_MEX_BUILD_TESTS=ON \
    -DMEMBERSHIP_MEX_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j"$(nproc)"
mkdir -p build-bench/results
lscpu | grep -E "^(Model name|CPU\(s\)|Thread|Core|Socket)" | tee build-bench/results/machine.txt

# Three repetitions, medians kept: the literal walks run once each, and the
# first touch of their scratch makes a single run unreliable. The repetitions
# come in random order, so that a change in the machine's load over the run
# does not fall on one side of a ratio.
for program in bench_forward bench_transitions; do
  if [ -x "build-bench/bench/$program" ]; then
    "build-bench/bench/$program" --benchmark_format=console --benchmark_color=false --benchmark_repetitions=3 \
      --benchmark_enable_random_interleaving=true \
      --benchmark_report_aggregates_only=true | tee "build-bench/results/$program.txt"
  else
    echo "build-bench/bench/$program was not built: bench/$program.cpp missing"
  fi
done

MEX_MODULE_DIR="$PWD/build-bench/octave" octave-cli --no-history -q bench/bench_octave.m | tee build-bench/results/bench_octave.txt
MEX_MODULE_DIR="$PWD/build-bench/octave" octave-cli --no-history -q bench/bench_transition_matrix.m \
    | tee build-bench/results/bench_transition_matrix.txt
MEX_MODULE_DIR="$PWD/build-bench/octave" octave-cli --no-history -q bench/bench_model.m \
    | tee build-bench/results/bench_model.txt
