#!/usr/bin/env bash
# Builds the plug-in, its tests and the fuzz targets with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-asan}
# clang, so that the same build also holds the fuzz targets (scripts/fuzz.sh
# runs them from here in CI) and its bounds checks see the most.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDC_SANITIZE=ON -DDC_FUZZ=ON -DDC_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0}
if ctest --test-dir "$BUILD" -j"$(nproc)" --output-on-failure; then
  exit 0
fi
# LeakSanitizer's exit-time tracer (it stops the process's threads with
# ptrace) now and then dies of a signal of its own after the test itself
# passed: "Tracer caught signal 11". Such a test runs once more as it is and,
# if the tracer dies again, once without the leak check; any other failure,
# or a failure without the leak check, fails the run.
failed="$BUILD/Testing/Temporary/LastTestsFailed.log"
[ -s "$failed" ] || exit 1
status=0
while IFS=: read -r _ name; do
  log=$(mktemp)
  if ctest --test-dir "$BUILD" -R "^${name}\$" --output-on-failure >"$log" 2>&1; then
    echo "passed on a second run: $name"
  elif grep -q 'Tracer caught signal' "$log"; then
    if ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" ctest --test-dir "$BUILD" -R "^${name}\$" --output-on-failure >"$log" 2>&1; then
      echo "passed without the leak check, whose tracer died twice: $name"
    else
      cat "$log"; status=1
    fi
  else
    cat "$log"; status=1
  fi
  rm -f "$log"
done <"$failed"
if [ "$status" -eq 0 ]; then
  total=$(ctest --test-dir "$BUILD" -N | sed -n 's/^Total Tests: //p')
  echo "sanitizers: $total passed, 0 failed"
fi
exit $status
