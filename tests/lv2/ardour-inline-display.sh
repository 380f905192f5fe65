#!/usr/bin/env bash
# Ardour 7's GUI under Xvfb: a session with DitherCrunch after the test
# signal, rolling, shows the plug-in's inline display in the mixer strip.
# Saves a screenshot of the mixer window (look at it) and checks that the
# curve's red and a channel mark's colour are on screen. Exits 77 (skipped)
# without Ardour, Xvfb, xdotool or ImageMagick.
#
#   ardour-inline-display.sh BUILD_DIR [SCREENSHOT.png]
set -uo pipefail
build=$(cd "$1" && pwd)
shot=${2:-$build/lv2-inline-display.png}
here=$(cd "$(dirname "$0")" && pwd)
for tool in ardour ardour7-lua Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool not installed: skipped"; exit 77; }
done

work=$(mktemp -d)
xvfb=; gui=
cleanup() {
  [ -n "$gui" ] && kill "$gui" 2>/dev/null && wait "$gui" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; tail -20 "$work/ardour.log" 2>/dev/null; exit 1; }

# A home of its own: first run done, the Dummy engine started by itself.
config=$work/home/.config/ardour7
mkdir -p "$config/scripts" "$config/export"
cp "$here/ardour/test-signal.lua" "$config/scripts/"
cp "$here/ardour/float.preset" "$config/export/"
cp "$here/ardour/config" "$config/config"
touch "$config/.a7"
export HOME=$work/home DC_ARDOUR_DIR=$work LV2_PATH=$build/lv2:/usr/lib/lv2
grep -q avx512 /proc/cpuinfo && export ARDOUR_FPU_FLAGS=0
DC_MODE=create timeout 120 ardour7-lua "$here/ardour/session.lua" >"$work/create.log" 2>&1 || fail "no session"

numberfile=$work/display
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1600x1000x24 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -dc '0-9' <"$numberfile")"

ardour "$work/session/dc.ardour" >"$work/ardour.log" 2>&1 &
gui=$!
window=
for _ in $(seq 120); do
  window=$(xdotool search --name '^dc - Ardour' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 "$gui" 2>/dev/null || fail "Ardour exited"
  sleep 1
done
[ -n "$window" ] || fail "Ardour's session window did not appear"
xdotool windowsize "$window" 1600 1000
sleep 3
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
xdotool key --window "$window" alt+m
sleep 2
xdotool key --window "$window" space
sleep 5
import -window root "$shot" || fail "no screenshot"

# The curve is drawn in the editor's red, a marked point in its channel's colour.
count() { convert "$shot" -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:int(mean*w*h)]' info:; }
red=$(count 'rgb(233,0,0)')
marks=$(( $(count 'rgb(64,96,255)') + $(count 'rgb(0,255,0)') + $(count 'rgb(38,54,122)') + $(count 'rgb(30,92,30)') ))
echo "screenshot: $shot (curve pixels: $red, channel mark pixels: $marks)"
[ "$red" -ge 100 ] || fail "the inline display's curve is not on screen"
[ "$marks" -ge 5 ] || fail "no channel mark on the inline display"
echo "OK: the mixer strip shows DitherCrunch's inline display"
