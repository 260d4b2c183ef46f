#!/usr/bin/env bash
# Cross-builds the modules for 64-bit Windows (.mexw64) with MinGW-w64 and
# tests them: their export and import tables, then the worked examples and
# rejected calls through the stand-in host under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
install_missing g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake >/dev/null
cmake --build build-win -j"$(nproc)"
ctest --test-dir build-win --output-on-failure
