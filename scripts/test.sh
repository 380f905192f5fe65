#!/usr/bin/env bash
# Installs what is needed (deps/debian-packages.txt), builds everything with
# the tests and benchmarks, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh deps/debian-packages.txt
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDC_TESTS=ON -DDC_BENCH=ON
cmake --build "$BUILD" -j"$(nproc)"
ctest --test-dir "$BUILD" -j"$(nproc)" --output-on-failure
