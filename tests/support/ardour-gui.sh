# Ardour 7's GUI on a private Xvfb display, for the scripts that drive it.
# Source this file. The caller defines fail() and calls ardour_gui_stop in
# its exit trap.

# Exits 77 (skipped) when a program the scripts drive is missing.
for tool in ardour ardour7-lua Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "no $tool: skipped"; exit 77; }
done
xvfb_pid=
ardour_pid=

# ardour_gui_stop [SIGNAL]: ends Ardour (with SIGNAL, default TERM), then Xvfb.
ardour_gui_stop() {
  [ -n "$ardour_pid" ] && kill -"${1:-TERM}" "$ardour_pid" 2>/dev/null && wait "$ardour_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  ardour_pid= xvfb_pid=
}

# ardour_gui_config DIR RATE: a user configuration without first-run dialogs
# whose dummy audio backend starts at once at RATE; XDG_CONFIG_HOME names it.
ardour_gui_config() {
  mkdir -p "$1/ardour7"
  touch "$1/ardour7/.a7"
  cat >"$1/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device="" sample-rate="$2" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
XML
  export XDG_CONFIG_HOME=$1
}

# ardour_gui_start SESSION_FILE LOG: Xvfb (DISPLAY), then Ardour on the
# session, until its window shows. Ardour's window sits at 0,0: there is no
# window manager.
ardour_gui_start() {
  local display=$(dirname "$2")/display.$$
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1600x1000x24 3>"$display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display" ] && break; sleep 0.05; done
  export DISPLAY=":$(tr -dc '0-9' <"$display")"
  local name
  name=$(basename "$1" .ardour)
  ardour -a -n "$1" >"$2" 2>&1 &
  ardour_pid=$!
  for _ in $(seq 120); do
    xdotool search --name "^$name - Ardour" >/dev/null 2>&1 && break
    kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour ended: $(tail -5 "$2")"
    sleep 0.5
  done
  sleep 3
}

# ardour_gui_open_plugin X Y: the mixer (its button at the top right of
# Ardour's window), then a double click on the plug-in at X,Y in the track's
# strip, which opens the plug-in's own editor.
ardour_gui_open_plugin() {
  xdotool mousemove 1326 73 click 1
  sleep 2
  xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1
}

# ardour_make_session FOLDER PLUGIN TYPE [LUA]: the session FOLDER/sess.ardour
# at 48 kHz, one stereo track with the plug-in (TYPE: LXVST or LV2), made
# headless with ardour7-lua; LUA runs with the plug-in as p before saving.
ardour_make_session() {
  cat >"$1.lua" <<LUA
local s = create_session("$1", "sess", 48000)
assert(s, "no session")
local tl = Session:new_audio_track(2, 2, nil, 1, "Audio", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local p = ARDOUR.LuaAPI.new_plugin(Session, "$2", ARDOUR.PluginType.$3, "")
assert(not p:isnil(), "no plug-in")
assert(tl:front():add_processor_by_index(p, 0, nil, true) == 0, "not added")
${4:-}
Session:save_state("", false, false, false, false, false)
close_session()
LUA
  timeout 120 ardour7-lua "$1.lua" >"$1.log" 2>&1 || fail "ardour7-lua could not make the session: $(tail -3 "$1.log")"
}
