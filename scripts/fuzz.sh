#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) in build-fuzz (or $BUILD)
# and runs each for N seconds (default 60): scripts/fuzz.sh [seconds] [fuzzer ...]
# Fuzzers: fuzz_set_chunk, fuzz_dispatcher (engine), fuzz_load_preset (program
# and bank records against a live effect), fuzz_parameter_mapping (the
# parameter mapping file reader), fuzz_property_list (the platform library's
# property-list reader), fuzz_class_info (documents set as an AudioUnit's
# ClassInfo), fuzz_factory_presets (factory list and documents read while the
# AudioUnit opens).
# Corpora are kept in $BUILD/corpus/<fuzzer>; crash files land in
# $BUILD/artifacts/. Reproduce one with: $BUILD/fuzz/<subsystem>/<fuzzer> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
shift || true
FUZZERS=("$@")
if [ "${#FUZZERS[@]}" -eq 0 ]; then FUZZERS=(fuzz_set_chunk fuzz_dispatcher fuzz_load_preset fuzz_parameter_mapping fuzz_property_list fuzz_class_info fuzz_factory_presets); fi
BUILD=${BUILD:-build-fuzz}
JOBS=${JOBS:-2}

# A build that already has the fuzz targets (scripts/sanitize.sh makes one in
# build-asan, which CI reuses) stays as it is configured; otherwise an
# optimised one of its own, for fuzzing at full speed.
if ! grep -q '^DC_FUZZ:BOOL=ON' "$BUILD/CMakeCache.txt" 2>/dev/null; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDC_FUZZ=ON -DDC_SANITIZE=ON -DDC_TESTS=OFF -DDC_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" -j"$JOBS" --target "${FUZZERS[@]}"

# Seeds for the chunk fuzzer: a default chunk at each version the loader knows.
seed_chunks() {
  local dir=$1
  python3 - "$dir" <<'PY'
import struct, sys, os
d = sys.argv[1]
for name, version in (("v105", 1.05), ("v101", 1.01), ("v1005", 1.005), ("v1", 1.0), ("v2", 2.0)):
    head = struct.pack("<5f", version, 0.5, 0.5, 0.5, 0.0) + struct.pack("<f", 1.0) + bytes(8)
    curve = struct.pack("<128i", *[128 - i for i in range(128)])
    tail = struct.pack("<5f", 1.0, 0.0, 0.0, 0.5, 0.5)
    with open(os.path.join(d, name), "wb") as f:
        f.write(head + curve + tail)
PY
}

mkdir -p "$BUILD/artifacts"
for fuzzer in "${FUZZERS[@]}"; do
  corpus="$BUILD/corpus/$fuzzer"
  mkdir -p "$corpus"
  if [ "$fuzzer" = fuzz_set_chunk ] && command -v python3 >/dev/null; then seed_chunks "$corpus"; fi
  if [ "$fuzzer" = fuzz_load_preset ]; then cp -n fuzz/auadapter/corpus/* "$corpus/"; fi
  if [ "$fuzzer" = fuzz_parameter_mapping ]; then cp -n fuzz/auadapter/mapping-corpus/* "$corpus/"; fi
  if [ "$fuzzer" = fuzz_property_list ]; then cp -n fuzz/platform/corpus/* "$corpus/"; fi
  if [ "$fuzzer" = fuzz_class_info ]; then cp -n fuzz/auadapter/corpus-class-info/* "$corpus/"; fi
  if [ "$fuzzer" = fuzz_factory_presets ]; then cp -n fuzz/auadapter/corpus-factory-presets/* "$corpus/"; fi
  binary=$(find "$BUILD/fuzz" -type f -name "$fuzzer" | head -n 1)
  echo "== $fuzzer for ${SECONDS_EACH}s"
  log="$BUILD/artifacts/$fuzzer.log"
  set +e
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$binary" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
    -artifact_prefix="$BUILD/artifacts/" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  grep -E '^(stat::|#[0-9]+[[:space:]]+DONE)' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 40 "$log"
    echo "$fuzzer failed (exit $rc); full log: $log" >&2
    exit "$rc"
  fi
done
