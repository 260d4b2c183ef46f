#!/usr/bin/env bash
# Rewrites the rejection table of docs/robustness.md from the modules'
# contracts and the module tests' calls (module_tests fails while it is stale).
#   bash tools/update_robustness_doc.sh [build dir, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target update_rejection_table
"$build/tests/update_rejection_table" docs/robustness.md
