#!/usr/bin/env bash
# The main job: installs what building and running it needs (deps/demo-packages.txt),
# builds the VST plug-in, the LV2 bundle with its UI, the AudioUnit component,
# the curve presets and both command-line hosts (no tests, no benchmarks), then:
#   1. saves a Dithercrunch preset with vsthost and renders a sweep through it;
#   2. renders the same through the AudioUnit form with auhost, checked bit-identical;
#   3. saves that setting as an .aupreset, restores it in a fresh auhost and checks
#      the render again, and loads the VST preset itself into the AudioUnit form;
#   4. shows where the built plug-ins and the rendered audio are.
# BUILD (default build) is the build folder, DEMO_OUT (default BUILD/demo) the output folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh deps/demo-packages.txt
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDC_TESTS=OFF -DDC_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target DitherCrunch vsthost DitherCrunchComponent auhost \
  dc_lv2_bundle DitherCrunch_ui dc_fxp_presets

VSTHOST="$BUILD/tools/vsthost"
AUHOST="$BUILD/tools/auhost"
PLUGIN="$BUILD/vst/DitherCrunch.so"
BUNDLE="$BUILD/au/DitherCrunch.component"
OUT=${DEMO_OUT:-"$BUILD/demo"}
mkdir -p "$OUT"
# Float WAV files carry the time they were written (bytes 61 to 64 of the
# header): renders are compared after it.
same() { cmp -s -i 64 "$1" "$2"; }

echo "== 1. The VST form with vsthost"
# A crunchy setting: more pre-gain, a low-pass after the shaper, full wet.
"$VSTHOST" save "$PLUGIN" -o "$OUT/crunch.fxp" --name Crunch \
  --set PreGain=0.85 --set PostGain=0.45 --set "Wet Dry=1" --set PostFlTy=0.34 --set "Post Cut=0.7"
# Four seconds of a 20 Hz to 20 kHz sweep, the preset loaded first, and a
# MIDI control change lowering the pre-gain (CC 70) after two seconds.
"$VSTHOST" render "$PLUGIN" --generate sweep --seconds 4 --rate 48000 \
  --preset "$OUT/crunch.fxp" --cc 2.0:70:40 -o "$OUT/crunch.wav"

echo "== 2. The AudioUnit form with auhost"
# The same setting in AudioUnit units: PreGain 0.85 is 35 on its -50..50
# scale, PostGain 0.45 is -5, Wet Dry 1 is 100 %.
"$AUHOST" info "$BUNDLE" | sed -n '1,/^parameters/p'
"$AUHOST" render "$BUNDLE" --generate sweep --seconds 4 --rate 48000 \
  --set PreGain=35 --set PostGain=-5 --set "Wet Dry=100" --set PostFlTy=0.34 --set "Post Cut=0.7" \
  --cc 2.0:70:40 -o "$OUT/crunch-au.wav"
if same "$OUT/crunch.wav" "$OUT/crunch-au.wav"; then
  echo "the AudioUnit render is bit-identical to the VST render"
else
  echo "the AudioUnit render differs from the VST render" >&2
  exit 1
fi

echo "== 3. Presets across the forms"
# The unit's state as an .aupreset, restored in a fresh process; then the
# VST preset loaded straight into the AudioUnit form.
"$AUHOST" save "$BUNDLE" -o "$OUT/crunch.aupreset" \
  --set PreGain=35 --set PostGain=-5 --set "Wet Dry=100" --set PostFlTy=0.34 --set "Post Cut=0.7"
"$AUHOST" presets "$BUNDLE"
"$AUHOST" render "$BUNDLE" --generate sweep --seconds 4 --rate 48000 --state "$OUT/crunch.aupreset" \
  --cc 2.0:70:40 -o "$OUT/crunch-state.wav" --quiet
"$AUHOST" render "$BUNDLE" --generate sweep --seconds 4 --rate 48000 --preset "$OUT/crunch.fxp" \
  --cc 2.0:70:40 -o "$OUT/crunch-fxp.wav" --quiet
if same "$OUT/crunch-au.wav" "$OUT/crunch-state.wav" && same "$OUT/crunch-au.wav" "$OUT/crunch-fxp.wav"; then
  echo "the renders from the saved state and from the VST preset are bit-identical"
else
  echo "a render from a preset differs" >&2
  exit 1
fi

echo "== 4. Where things are"
echo "VST plug-in:        $(cd "$(dirname "$PLUGIN")" && pwd)/$(basename "$PLUGIN")"
echo "LV2 bundle:         $(cd "$BUILD/lv2/DitherCrunch.lv2" && pwd) (hosts find it with LV2_PATH=$(cd "$BUILD/lv2" && pwd))"
echo "AudioUnit bundle:   $(cd "$BUNDLE" && pwd)"
echo "curve presets:      $(cd "$BUILD/presets" && pwd) ($(ls "$BUILD/presets" | grep -c '\.fxp$') programs for VST hosts; LV2 hosts list them from the bundle)"
echo "rendered audio:     $(cd "$OUT" && pwd)/crunch.wav"
echo "Install all of it for your user (~/.vst, ~/.lv2, ~/.local/bin; README, Installing):"
echo "  cmake -S . -B $BUILD -DDC_INSTALL_FOR_USER=ON && cmake --install $BUILD"
