#!/usr/bin/env bash
# Builds the plug-in and the two-thread test with ThreadSanitizer in build-tsan
# and runs the test; any reported race fails the run (halt_on_error=1).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-tsan}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDC_TSAN=ON -DDC_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target DitherCrunch engine_concurrency_tests
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
"$BUILD/tests/engine/engine_concurrency_tests"
