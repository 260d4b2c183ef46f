#!/usr/bin/env bash
# Builds the Octave modules and calls each 10^4 times in one octave-cli
# session, failing when memory grows or an outcome changes.
#   bash tools/soak.sh [build dir, default build] [calls per module, default 10000]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
calls=${2:-10000}
source tools/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
mapfile -t modules < modules/MODULES
cmake --build "$build" -j"$(nproc)" --target "${modules[@]/%/_octave}"
octave-cli --no-history --no-gui -q --no-init-file tests/soak_modules.m "$build/octave" "$calls"
