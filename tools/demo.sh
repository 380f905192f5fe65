#!/usr/bin/env bash
# Renders a generated sweep through Dithercrunch with a preset the script
# first saves, and prints the levels of input and output.
# Usage: tools/demo.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?usage: tools/demo.sh BUILD_DIR}
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
