#!/usr/bin/env bash
# Ardour 7 headless (ardour7-lua, Debian package "ardour"): a session loads
# the plug-in by its URI from LV2_PATH; its export must equal, bit for bit,
# the VST form's render of the same input with the same preset and Pre Gain;
# saved with that curve and parameters, it is reloaded by a fresh process to
# the same parameters and the same export. Exits 77 (skipped) without Ardour.
#
#   ardour-lv2-check.sh BUILD_DIR VSTHOST WAV_COMPARE
set -uo pipefail
build=$(cd "$1" && pwd); vsthost=$2; compare=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v ardour7-lua >/dev/null || { echo "Ardour 7 not installed: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; grep -v "unknown property" "$f" | tail -20; done; exit 1; }
# A home of its own: the test signal script, the float export preset, and
# no user configuration or plug-in cache touched.
mkdir -p "$work/home/.config/ardour7/scripts" "$work/home/.config/ardour7/export"
cp "$here/ardour/test-signal.lua" "$work/home/.config/ardour7/scripts/"
cp "$here/ardour/float.preset" "$work/home/.config/ardour7/export/"
export HOME=$work/home DC_ARDOUR_DIR=$work LV2_PATH=$build/lv2:/usr/lib/lv2
# Ardour 7.3 may corrupt its heap in its own mixing code on AVX-512 processors.
grep -q avx512 /proc/cpuinfo && export ARDOUR_FPU_FLAGS=0

DC_MODE=create timeout 120 ardour7-lua "$here/ardour/session.lua" >"$work/create.log" 2>&1 || fail "the session was not created"
grep -q "^plugin DitherCrunch urn:tarnby-audio:dithercrunch" "$work/create.log" || fail "Ardour did not load the plug-in by its URI"
DC_MODE=reload timeout 120 ardour7-lua "$here/ardour/session.lua" >"$work/reload.log" 2>&1 || fail "the session was not reloaded"

created=$(grep '^param ' "$work/create.log")
reloaded=$(grep '^param ' "$work/reload.log")
[ "$(echo "$created" | wc -l)" -eq 9 ] || fail "nine parameters expected"
[ "$created" = "$reloaded" ] || fail "parameters differ after reloading: $created / $reloaded"
echo "$created" | grep -q '^param 0 0.69999998' || fail "Pre Gain is not 0.7"

for run in "" reloaded-; do
  "$vsthost" render "$build/vst/DitherCrunch.so" -i "$work/${run}input/"*.wav -o "$work/${run}vst.wav" --format float \
    --preset "$build/presets/Fold.fxp" --set PreGain=0.7 --quiet || fail "vsthost render failed"
done
"$compare" "$work/output/"*.wav "$work/vst.wav" || fail "Ardour's export differs from the VST form's render"
"$compare" "$work/reloaded/"*.wav "$work/reloaded-vst.wav" || fail "the reloaded session differs from the VST form's render"
echo "OK: Ardour's exports, before and after reloading, equal the VST form's renders"
