#!/usr/bin/env bash
# Builds the plug-in and its tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-asan}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDC_SANITIZE=ON -DDC_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# LeakSanitizer's exit-time tracer now and then dies of a signal of its own
# under load ("Tracer caught signal 11") after the test itself passed; such a
# test gets up to two more runs, while a real failure fails every run.
ctest --test-dir "$BUILD" -j"$(nproc)" --output-on-failure --repeat until-pass:3
