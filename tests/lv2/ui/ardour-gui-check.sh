#!/bin/bash
# Ardour 7's GUI with the plug-in's own editor: a session made headless with
# the plug-in on a track is opened in Ardour on a private Xvfb display, the
# plug-in's window opens with its LV2 UI, a curve is drawn into the editor
# with xdotool, the session is saved through Ardour's menu, and the saved
# plug-in state must hold the drawn points. Screenshots go to OUTDIR.
#
#   ardour-gui-check.sh BUNDLE_FOLDER OUTDIR
#
# BUNDLE_FOLDER holds DitherCrunch.lv2. Exit status 77 when Ardour, Xvfb or
# xdotool is missing (ctest counts it as skipped).
set -u
. "$(dirname "$0")/../../support/ardour-gui.sh"
bundles=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
work=$(mktemp -d)
cleanup() {
  ardour_gui_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LV2_PATH="$bundles:/usr/lib/lv2"
# Ardour 7.3 needs this on CPUs with AVX-512.
grep -q avx512f /proc/cpuinfo && export ARDOUR_FPU_FLAGS=0

# The session: one stereo track with the plug-in, made without a GUI.
ardour_make_session "$work/sess" urn:tarnby-audio:dithercrunch LV2
plugin=$(grep -o '<Processor id="[0-9]*"[^>]*unique-id="urn:tarnby-audio:dithercrunch"' "$work/sess/sess.ardour" | grep -o 'id="[0-9]*"' | head -1 | grep -o '[0-9]*')
[ -n "$plugin" ] || fail "no plug-in in the session"

ardour_gui_config "$work/config" 48000
ardour_gui_start "$work/sess/sess.ardour" "$work/ardour.log"
ardour_gui_open_plugin 332 215
# The editor: the 300 x 320 window Ardour's plug-in window embeds.
editor=
for i in $(seq 40); do
  editor=$(xwininfo -root -tree 2>/dev/null | grep -E ' 300x320\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+' | head -1)
  [ -n "$editor" ] && break
  # A slow start may have taken the first clicks: once more.
  [ "$i" = 20 ] && ardour_gui_open_plugin 332 215
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour ended: $(tail -5 "$work/ardour.log")"
  sleep 0.5
done
[ -n "$editor" ] || { import -window root "$out/ardour-gui-failed.png"; fail "no editor window in Ardour"; }
sleep 2
read -r x y <<<"$(echo "$editor" | grep -oE '\+[0-9]+\+[0-9]+$' | tr '+' ' ')"

# A falling line over the curve area (70,103 to 198,231 in the editor), one
# point every 4 columns.
args="mousemove --sync $((x + 70)) $((y + 203)) mousedown 1"
for c in $(seq 0 4 127); do
  args="$args mousemove --sync $((x + 70 + c)) $((y + 103 + 100 - c * 60 / 127))"
done
xdotool $args mouseup 1
sleep 1
import -window root "$out/ardour-gui-editor.png"

# Session > Save from the menu bar (Ardour's window sits at 0,0).
xdotool mousemove 29 12 click 1
sleep 1
xdotool mousemove 42 112 click 1
state=
for _ in $(seq 40); do
  state=$(ls -t "$work"/sess/plugins/"$plugin"/state*/state.ttl 2>/dev/null | head -1)
  [ -n "$state" ] && [ "$(ls "$work"/sess/plugins/"$plugin" | wc -l)" -gt 1 ] && break
  state=
  sleep 0.25
done
[ -n "$state" ] || fail "Ardour saved no new plug-in state"
sleep 1
points=$(grep -oE '"-?[0-9]+"\^\^xsd:int' "$state" | grep -oE '\-?[0-9]+' | tr '\n' ' ')
read -r -a p <<<"$points"
[ "${#p[@]}" -eq 128 ] || fail "the saved curve has ${#p[@]} points"
for c in $(seq 0 4 127); do
  want=$((100 - c * 60 / 127))
  [ "${p[$c]}" -eq "$want" ] || fail "saved point $c is ${p[$c]}, drawn $want"
done
[ "${p[1]}" -eq 127 ] || fail "untouched point 1 is ${p[1]}"
echo "Ardour saved the drawn curve: ${p[*]:0:12} ..."
