#!/usr/bin/env bash
# Builds the modules for GNU Octave, and nothing else, in build-demo (the
# tests and benchmarks are tools/test.sh's, in build), then runs
# examples/membership_demo.m in octave-cli, which saves its figures in build-demo/figures.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
# Tests and benchmarks off: their libraries are not even looked for.
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DMEMBERSHIP_MEX_BUILD_BENCHMARKS=OFF >/dev/null
# The Octave flavour of each module of modules/MODULES, leaving out the
# stand-in flavour, which only the tests load.
mapfile -t modules < <(awk 'NF' modules/MODULES)
cmake --build build-demo -j"$(nproc)" --target "${modules[@]/%/_octave}"
MEX_MODULE_DIR="$PWD/build-demo/octave" MEX_FIGURE_DIR="$PWD/build-demo/figures" \
    octave-cli --no-history --no-gui -q --no-init-file examples/membership_demo.m
