#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each for a set time.
#   bash fuzz/run.sh [seconds per target, default 60] [module ...]
# The corpus grows in build-fuzz/corpus/<module>/ and is kept between runs;
# a finding is written to build-fuzz/findings/<module>/ and fails the run.
# Reproduce one with: FUZZ_DESCRIBE=1 build-fuzz/fuzz/fuzz_<module> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
modules=("${@:2}")
[ ${#modules[@]} -gt 0 ] || mapfile -t modules < modules/MODULES

MEX_FUZZ_TOOLS=1 source tools/setup.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DMEMBERSHIP_MEX_FUZZ=ON -DMEMBERSHIP_MEX_BUILD_TESTS=OFF \
    -DMEMBERSHIP_MEX_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets
build-fuzz/fuzz/make_fuzz_seeds build-fuzz/seeds

passed=0
failed=0
for module in "${modules[@]}"; do
    corpus=build-fuzz/corpus/$module
    findings=build-fuzz/findings/$module
    mkdir -p "$corpus" "$findings"
    # A call that takes over 10 s is a finding too: a host cannot interrupt it.
    if build-fuzz/fuzz/fuzz_"$module" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" build-fuzz/seeds/"$module" \
        >build-fuzz/fuzz_"$module".log 2>&1; then
        passed=$((passed + 1))
        outcome=ok
    else
        failed=$((failed + 1))
        outcome="FAILED (see build-fuzz/fuzz_$module.log and $findings/)"
        tail -40 build-fuzz/fuzz_"$module".log
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' build-fuzz/fuzz_"$module".log)
    echo "fuzz_$module: ${runs:-?} executions in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs: $outcome"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
