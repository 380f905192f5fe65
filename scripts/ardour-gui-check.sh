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
mode=$1
module=$(realpath "$2")
out=$3
for tool in ardour ardour7-lua Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "no $tool: skipped"; exit 77; }
done
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=
ardour_pid=
cleanup() {
  [ -n "$ardour_pid" ] && kill -9 "$ardour_pid" 2>/dev/null && wait "$ardour_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
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
cat >"$work/make.lua" <<EOF
local s = create_session("$work/sess", "sess", 48000)
assert(s, "no session")
local tl = Session:new_audio_track(2, 2, nil, 1, "Audio", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local p = ARDOUR.LuaAPI.new_plugin(Session, "DitherCrunch", ARDOUR.PluginType.LXVST, "")
assert(not p:isnil(), "no plug-in")
assert(tl:front():add_processor_by_index(p, 0, nil, true) == 0, "not added")
$touch_line
Session:save_state("", false, false, false, false, false)
close_session()
EOF
timeout 120 ardour7-lua "$work/make.lua" >"$work/make.log" 2>&1 || fail "ardour7-lua could not make the session: $(tail -3 "$work/make.log")"

# A configuration of its own: no first-run dialogs, the dummy backend started at once.
mkdir -p "$work/config/ardour7"
touch "$work/config/ardour7/.a7"
cat >"$work/config/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
export XDG_CONFIG_HOME="$work/config"
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1600x1000x24 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(tr -dc '0-9' <"$work/display")"
ardour -a -n "$work/sess/sess.ardour" >"$work/ardour.log" 2>&1 &
ardour_pid=$!
for _ in $(seq 120); do
  xdotool search --name '^sess - Ardour' >/dev/null 2>&1 && break
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour ended: $(tail -5 "$work/ardour.log")"
  sleep 0.5
done
sleep 3
# The mixer (its button at the top right of Ardour's window, at 0,0 without
# a window manager), then a double click on the plug-in in the track's strip
# opens the plug-in's own editor.
xdotool mousemove 1326 73 click 1
sleep 2
xdotool mousemove 334 215 click --repeat 2 --delay 80 1
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
