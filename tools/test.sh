#!/usr/bin/env bash
# Builds every flavour of the modules and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

# Robustness (docs/robustness.md): memory stays flat over 10^4 calls of each
# module, each module is fuzzed for a while, and the whole suite runs again
# under ASan and UBSan, whose summary closes the log.
bash tools/soak.sh build
bash fuzz/run.sh "${MEX_FUZZ_SECONDS:-20}"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEMBERSHIP_MEX_SANITIZE=ON \
    -DMEMBERSHIP_MEX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
