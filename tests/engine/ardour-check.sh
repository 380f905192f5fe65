#!/usr/bin/env bash
# Checks the built module in Ardour 7 (Debian package "ardour"):
#   ardour-check.sh scan <module>     the VST scanner indexes it with its name and unique ID
#   ardour-check.sh session <module>  a headless session loads it and sees its nine parameters
# Exits 77 (skipped) when Ardour is not installed. Works in a temporary HOME so
# the user's plug-in cache is never touched.
set -uo pipefail
mode=$1
module=$2
ardour_lib=/usr/lib/ardour7
scanner=$ardour_lib/ardour-vst-scanner
[ -x "$scanner" ] || { echo "Ardour 7 not installed: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vst"
# The scanner indexes by path: scan the copy the session will load.
cp "$module" "$work/vst/DitherCrunch.so"
# Ardour trusts a cache entry only if it is newer than the module, at whole
# seconds: date the copy a minute back so a scan in the same second counts.
touch -d "@$(( $(date +%s) - 60 ))" "$work/vst/DitherCrunch.so"

fail() { echo "FAIL: $*"; echo "--- output:"; cat "$work/out"; exit 1; }

HOME=$work LD_LIBRARY_PATH=$ardour_lib timeout 20 "$scanner" -f -v "$work/vst/DitherCrunch.so" >"$work/out" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "scanner exited with $rc"
grep -q 'name="DitherCrunch"' "$work/out" || fail "scanner did not report the name DitherCrunch"
grep -q 'id="1266110842"' "$work/out" || fail "scanner did not report the unique ID 1266110842"
grep -q 'n_inputs="2" n_outputs="2"' "$work/out" || fail "scanner did not report two inputs and two outputs"

if [ "$mode" = session ]; then
  [ -x $ardour_lib/luasession ] || { echo "Ardour's Lua session tool not installed: skipped"; exit 77; }
  HOME=$work DC_ARDOUR_DIR=$work LXVST_PATH=$work/vst \
    LD_LIBRARY_PATH=$ardour_lib ARDOUR_DATA_PATH=/usr/share/ardour7 ARDOUR_CONFIG_PATH=/etc/ardour7 \
    ARDOUR_DLL_PATH=$ardour_lib timeout 60 $ardour_lib/luasession "$(dirname "$0")/ardour-probe.lua" >"$work/out" 2>&1
  grep -q '^plugin DitherCrunch id 1266110842 parameters 9$' "$work/out" || fail "session did not load the plug-in with nine parameters"
  i=0
  for name in PreGain PrePan PostGain ShaperSw "Wet Dry" "Pre FlTy" "Pre Cut" PostFlTy "Post Cut"; do
    grep -qx "parameter $i $name" "$work/out" || fail "parameter $i is not named $name"
    i=$((i + 1))
  done
fi
echo "OK ($mode)"
grep -E '^(plugin|parameter) |VST2Info' "$work/out"
exit 0
