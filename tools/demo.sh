#!/usr/bin/env bash
# Builds the modules for GNU Octave and runs examples/demo.m in octave-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
MEX_MODULE_DIR="$PWD/build/octave" octave-cli --no-history --no-gui -q --no-init-file examples/demo.m
