#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the installed copies:
# every form and both hosts in their places, no path into the build tree,
# the hosts running from there, the installed component opening read-only,
# and the LV2 tests passing against the installed bundle and FXP presets.
#
#   install-check.sh BUILD_DIR VST_DIR LV2_DIR AU_DIR BIN_DIR LV2_TESTS
# (the install folders as configured: relative to the prefix, or absolute)
set -uo pipefail
build=$1; vst=$2; lv2=$3; au=$4; bin=$5; lv2tests=$6
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
at() { case $1 in /*) echo "$work$1" ;; *) echo "$work/usr/local/$1" ;; esac; }

DESTDIR=$work cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install failed"; }
vst=$(at "$vst"); lv2=$(at "$lv2"); au=$(at "$au"); bin=$(at "$bin")

for f in "$vst/DitherCrunch.so" "$vst/DitherCrunch-presets/Init.fxp" \
         "$lv2/DitherCrunch.lv2/manifest.ttl" "$lv2/DitherCrunch.lv2/DitherCrunch.ttl" \
         "$lv2/DitherCrunch.lv2/DitherCrunch.so" "$lv2/DitherCrunch.lv2/presets/init.ttl" \
         "$au/DitherCrunch.component/Contents/Info.plist" \
         "$au/DitherCrunch.component/Contents/x86_64-linux/DitherCrunch.so" \
         "$au/DitherCrunch.component/Contents/Frameworks/libAUPlatform.so.1" \
         "$au/DitherCrunch.component/Contents/Resources/TWParameters.txt" \
         "$bin/vsthost" "$bin/auhost"; do
  [ -e "$f" ] || fail "not installed: ${f#$work}"
done
fxps=$(ls "$vst/DitherCrunch-presets/"*.fxp | wc -l)
ttls=$(ls "$lv2/DitherCrunch.lv2/presets/"*.ttl | wc -l)
[ "$fxps" -ge 9 ] && [ "$fxps" -eq "$ttls" ] || fail "$fxps FXP presets and $ttls LV2 presets installed"

# Nothing installed looks into the build tree.
build_abs=$(cd "$build" && pwd)
while IFS= read -r -d '' f; do
  if readelf -d "$f" 2>/dev/null | grep -E 'RPATH|RUNPATH' | grep -q "$build_abs"; then
    fail "${f#$work} still searches the build tree"
  fi
done < <(find "$work" -type f \( -name '*.so*' -o -perm -u+x \) -print0)
libs=$(ldd "$lv2/DitherCrunch.lv2/DitherCrunch.so" | awk '{print $1}' | grep -v -E '^(linux-vdso|/lib64/ld-linux)' | sed 's/\.so.*//' | sort | tr '\n' ' ')
[ "$libs" = "libc libgcc_s libm libstdc++ " ] || fail "the LV2 plug-in links $libs"

# The installed hosts run from their own places, the component read-only.
chmod -R a-w "$au/DitherCrunch.component"
env -u LD_LIBRARY_PATH "$bin/auhost" info "$au/DitherCrunch.component" >"$work/au.txt" 2>&1 ||
  { cat "$work/au.txt"; fail "installed auhost cannot open the installed, read-only component"; }
env -u LD_LIBRARY_PATH "$bin/vsthost" render "$vst/DitherCrunch.so" --generate noise --seconds 0.2 \
  --preset "$vst/DitherCrunch-presets/Bit Crush.fxp" -o "$work/out.wav" --quiet ||
  fail "installed vsthost cannot render the installed plug-in with an installed preset"

DC_LV2_BUNDLE="$lv2/DitherCrunch.lv2" DC_PRESETS_DIR="$vst/DitherCrunch-presets" "$lv2tests" \
  --gtest_filter='Factory/*:Lv2FactoryPresets.*:Lv2State.*:Lv2/RenderIdentity.*random_changes_midi_in_place_48000*' \
  >"$work/lv2.txt" 2>&1 || { cat "$work/lv2.txt"; fail "the LV2 tests fail against the installed bundle"; }
grep -q "PASSED" "$work/lv2.txt" || fail "no LV2 test ran"
echo "OK: installed under $work and checked"
