#!/usr/bin/env bash
# Renders a generated sweep through Dithercrunch with a preset the script
# first saves, and prints the levels of input and output; then the same
# through the AudioUnit component, also from a saved .aupreset state.
# Usage: scripts/demo-run.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?usage: scripts/demo-run.sh BUILD_DIR}
HOST="$BUILD/tools/vsthost"
PLUGIN="$BUILD/vst/DitherCrunch.so"
OUT=${DEMO_OUT:-"$BUILD/demo"}
for f in "$HOST" "$PLUGIN"; do
  [ -e "$f" ] || { echo "missing $f: build the targets vsthost and DitherCrunch first" >&2; exit 1; }
done
mkdir -p "$OUT"
echo "DitherCrunch.so: $(cd "$(dirname "$PLUGIN")" && pwd)/$(basename "$PLUGIN")"

# A crunchy setting: more pre-gain, a low-pass after the shaper, full wet.
"$HOST" save "$PLUGIN" -o "$OUT/crunch.fxp" \
  --set PreGain=0.85 --set PostGain=0.45 --set "Wet Dry=1" --set PostFlTy=0.34 --set "Post Cut=0.7"

# Four seconds of a 20 Hz to 20 kHz sweep, the preset loaded first, and a
# MIDI control change lowering the pre-gain (CC 70) after two seconds.
"$HOST" render "$PLUGIN" --generate sweep --seconds 4 --rate 48000 \
  --preset "$OUT/crunch.fxp" --cc 2.0:70:40 -o "$OUT/crunch.wav"

# The AudioUnit form: the same setting in AudioUnit units (PreGain 0.85 is
# 35 on its -50..50 scale, PostGain 0.45 is -5, Wet Dry 1 is 100 %), rendered
# by auhost through the component bundle; it matches the VST render.
AUHOST="$BUILD/tools/auhost"
BUNDLE="$BUILD/au/DitherCrunch.component"
if [ -e "$AUHOST" ] && [ -e "$BUNDLE" ]; then
  echo "DitherCrunch.component: $(cd "$BUNDLE" && pwd)"
  "$AUHOST" info "$BUNDLE" | sed -n '1,/^parameters/p'
  "$AUHOST" render "$BUNDLE" --generate sweep --seconds 4 --rate 48000 \
    --set PreGain=35 --set PostGain=-5 --set "Wet Dry=100" --set PostFlTy=0.34 --set "Post Cut=0.7" \
    --cc 2.0:70:40 -o "$OUT/crunch-au.wav"
  # Byte for byte after the header's write time (bytes 61 to 64 of a float WAV).
  if cmp -s -i 64 "$OUT/crunch.wav" "$OUT/crunch-au.wav"; then
    echo "the AudioUnit render is bit-identical to the VST render"
  else
    echo "the AudioUnit render differs from the VST render" >&2
    exit 1
  fi

  # The AudioUnit's saved state: the same setting written as an .aupreset
  # (the unit's ClassInfo, an XML property list wrapping the program record),
  # then restored in a fresh auhost process before rendering.
  "$AUHOST" save "$BUNDLE" -o "$OUT/crunch.aupreset" \
    --set PreGain=35 --set PostGain=-5 --set "Wet Dry=100" --set PostFlTy=0.34 --set "Post Cut=0.7"
  "$AUHOST" presets "$BUNDLE"
  "$AUHOST" render "$BUNDLE" --generate sweep --seconds 4 --rate 48000 --state "$OUT/crunch.aupreset" \
    --cc 2.0:70:40 -o "$OUT/crunch-state.wav"
  if cmp -s -i 64 "$OUT/crunch-au.wav" "$OUT/crunch-state.wav"; then
    echo "the render from the saved state is bit-identical"
  else
    echo "the render from the saved state differs" >&2
    exit 1
  fi
fi
