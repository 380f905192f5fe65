#!/usr/bin/env bash
# Re-checks the README's known issues of Ardour 7 with the VST plug-in, in
# Ardour's GUI on a private Xvfb display (dummy audio backend, a temporary
# HOME, screenshots in OUTDIR):
#   scripts/ardour-gui-check.sh modified MODULE OUTDIR
#       draws the curve in the plug-in's editor; passes when Ardour then
#       marks the session modified and asks to save at Quit.
#   scripts/ardour-gui-check.sh touch MODULE OUTDIR
#       puts PreGain's automation in Touch mode and drags the PreGain slider,
#       transport stopped; prints whether Ardour survived (exit 0 either way,
#       3 when Ardour crashed).
# Needs ardour (Debian package), Xvfb, xdotool, x11-utils and imagemagick;
# exits 77 without them.
set -uo pipefail
. "$(dirname "$0")/../tests/support/ardour-gui.sh"
mode=$1
module=$(realpath "$2")
out=$3
mkdir -p "$out"
work=$(mktemp -d)
cleanup() {
  ardour_gui_stop KILL
  cp "$work/ardour.log" "$out/" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; import -window root "$out/failed.png" 2>/dev/null; exit 1; }
# Ardour 7.3 needs this on CPUs with AVX-512.
grep -q avx512f /proc/cpuinfo && export ARDOUR_FPU_FLAGS=0
export HOME=$work LXVST_PATH=$work/vst
mkdir -p "$work/vst"
cp "$module" "$work/vst/DitherCrunch.so"
touch -d "@$(( $(date +%s) - 60 ))" "$work/vst/DitherCrunch.so"
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 30 /usr/lib/ardour7/ardour-vst-scanner -f "$work/vst/DitherCrunch.so" >"$work/scan.log" 2>&1 ||
  fail "Ardour's scanner refused the module"

# The session: one stereo track with the plug-in, made without a GUI.
touch_line=
[ "$mode" = touch ] && touch_line='p:to_automatable():automation_control(Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, 0), false):set_automation_state(ARDOUR.AutoState.Touch)'
ardour_make_session "$work/sess" DitherCrunch LXVST "$touch_line"

ardour_gui_config "$work/config" 48000
ardour_gui_start "$work/sess/sess.ardour" "$work/ardour.log"
ardour_gui_open_plugin 334 215
editor=
for _ in $(seq 40); do
  editor=$(xwininfo -root -tree 2>/dev/null | grep -E ' 300x320\+0\+0 +\+[0-9]+\+[0-9]+' | grep -oE '\+[0-9]+\+[0-9]+$' | grep -v '^+0+0$' | head -1)
  [ -n "$editor" ] && break
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour ended: $(tail -5 "$work/ardour.log")"
  sleep 0.5
done
[ -n "$editor" ] || fail "no editor window in Ardour"
sleep 2
read -r x y <<<"$(echo "$editor" | tr '+' ' ')"
title() { xdotool search --name 'sess - Ardour$' getwindowname 2>/dev/null | head -1; }

case $mode in
modified)
  [ "$(title)" = "sess - Ardour" ] || fail "the session was modified before drawing: $(title)"
  # A rising line over the curve area (70,103 to 198,231 in the editor).
  args="mousemove --sync $((x + 70)) $((y + 203)) mousedown 1"
  for c in $(seq 0 4 127); do args="$args mousemove --sync $((x + 70 + c)) $((y + 203 - c * 60 / 127))"; done
  xdotool $args mouseup 1
  sleep 2
  import -window root "$out/ardour-drawn.png"
  [ "$(title)" = "*sess - Ardour" ] || fail "Ardour did not mark the session modified after drawing: $(title)"
  xdotool mousemove 700 400 click 1 key ctrl+q
  for _ in $(seq 20); do xdotool search --name '^Unsaved Session$' >/dev/null 2>&1 && break; sleep 0.25; done
  import -window root "$out/ardour-quit.png"
  xdotool search --name '^Unsaved Session$' >/dev/null 2>&1 || fail "Quit did not ask to save the drawn curve"
  echo "OK: drawing the curve marks the session modified (\"$(title)\") and Quit asks to save it"
  ;;
touch)
  xdotool mousemove --sync $((x + 150)) $((y + 25)) mousedown 1 mousemove --sync $((x + 100)) $((y + 25)) \
    mousemove --sync $((x + 60)) $((y + 25)) mouseup 1
  sleep 2
  if kill -0 "$ardour_pid" 2>/dev/null; then
    import -window root "$out/ardour-touch.png"
    echo "Ardour survived dragging PreGain in Touch mode"
  else
    wait "$ardour_pid"
    status=$?
    ardour_pid=
    echo "Ardour crashed (exit status $status) when PreGain was dragged in Touch mode"
    exit 3
  fi
  ;;
esac
