#!/usr/bin/env bash
# Builds every flavour of the modules and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
