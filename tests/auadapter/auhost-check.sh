#!/usr/bin/env bash
# auhost against vsthost: the same audio through the AudioUnit component and
# through the VST effect must come out byte for byte the same, for
# Dithercrunch (with parameters and MIDI) and for Debian's MVerb wrapped by
# the adapter through a Resources/MVerb.vst link.
# Usage: auhost-check.sh AUHOST VSTHOST BUNDLE VST_PLUGIN
set -euo pipefail
AUHOST=$1 VSTHOST=$2 BUNDLE=$3 PLUGIN=$4
WORK=$(mktemp -d)
# Float WAV files carry a PEAK chunk with the time of writing (bytes 61 to
# 64): everything after it must be the same.
same() { cmp -i 64 "$1" "$2" && [ "$(stat -c %s "$1")" = "$(stat -c %s "$2")" ]; }
trap 'rm -rf "$WORK"' EXIT
export HOME="$WORK/home" TWINFOLD_LOCAL_DOMAIN="$WORK/local"
mkdir -p "$HOME" "$TWINFOLD_LOCAL_DOMAIN"

# Dithercrunch: PreGain 20 in AudioUnit units (-50..50) is 0.7 for the VST form.
cp -r "$BUNDLE" "$WORK/DitherCrunch.component"
"$AUHOST" render "$WORK/DitherCrunch.component" --generate sweep --seconds 1 --channels 2 -o "$WORK/au.wav" -q \
  --set PreGain=20 --set "Post Cut=0.25" --cc 0.5:71:20 --block 256
"$VSTHOST" render "$PLUGIN" --generate sweep --seconds 1 --channels 2 -o "$WORK/vst.wav" -q \
  --set PreGain=0.7 --set "Post Cut=0.25" --cc 0.5:71:20 --block 256
same "$WORK/au.wav" "$WORK/vst.wav"
echo "Dithercrunch: auhost and vsthost agree"

# A failed render leaves an existing output as it was.
echo keep > "$WORK/keep.wav"
if "$AUHOST" render "$WORK/DitherCrunch.component" --generate noise -o "$WORK/keep.wav" -q --set Nope=1 2>/dev/null; then
  echo "a bad --set succeeded" >&2; exit 1
fi
[ "$(cat "$WORK/keep.wav")" = keep ]

MVERB=/usr/lib/vst/MVerb-vst.so
if [ ! -e "$MVERB" ]; then
  echo "MVerb is not installed (Debian dpf-plugins-vst): skipped"
  exit 77
fi
cp -r "$BUNDLE" "$WORK/MVerb.component"
rm -f "$WORK/MVerb.component/Contents/Resources/"*
ln -s "$MVERB" "$WORK/MVerb.component/Contents/Resources/MVerb.vst"
sed -i 's|<string>KwQz</string>|<string>MVrb</string>|' "$WORK/MVerb.component/Contents/Info.plist"
"$AUHOST" info "$WORK/MVerb.component" > "$WORK/mverb-info.txt"
[ -s "$WORK/MVerb.component/Contents/Resources/TWParameters.txt" ]
"$AUHOST" render "$WORK/MVerb.component" --generate noise --seconds 1 --tail 0.5 -o "$WORK/mverb-au.wav" -q
"$VSTHOST" render "$MVERB" --generate noise --seconds 1 --tail 0.5 -o "$WORK/mverb-vst.wav" -q
same "$WORK/mverb-au.wav" "$WORK/mverb-vst.wav"
echo "MVerb: auhost and vsthost agree; its mapping file:"
tr '\r' '\n' < "$WORK/MVerb.component/Contents/Resources/TWParameters.txt"
