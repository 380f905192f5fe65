-- Run by ardour-lv2-check.sh in Ardour's headless Lua session.
--   DC_MODE=create: a new session with one stereo track: the test signal,
--   then DitherCrunch loaded by its URI, set to the "Fold" preset with Pre
--   Gain at 0.7; exports the track with the plug-in off (input) and on
--   (output), then saves the session.
--   DC_MODE=reload: opens that session again and exports it the same way
--   (reloaded-input, reloaded).
-- Prints "param I VALUE" for the plug-in's nine parameters.
local dir = os.getenv("DC_ARDOUR_DIR")
local mode = os.getenv("DC_MODE")
local frames = 88200

local function export(name)
  local e = Session:simple_export()
  e:set_preset("5f6d1c2a-8e0b-4c39-9a51-d17e3f2b4c01")
  os.execute("mkdir -p '" .. dir .. "/" .. name .. "'")
  e:set_folder(dir .. "/" .. name)
  e:set_name(name)
  e:set_range(0, frames)
  if not e:run_export() then
    print("export " .. name .. " failed")
    os.exit(1)
  end
end

local function print_parameters(proc)
  for i = 0, 8 do
    print(string.format("param %d %.9g", i, ARDOUR.LuaAPI.get_processor_param(proc, i)))
  end
end

local function find_plugin(track)
  local i = 0
  while true do
    local proc = track:nth_plugin(i)
    if proc:isnil() then return nil end
    if proc:display_name() == "DitherCrunch" then return proc end
    i = i + 1
  end
end

if mode == "create" then
  if not create_session(dir .. "/session", "dc", 44100) then print("no session") os.exit(1) end
  local track = Session:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                        ARDOUR.TrackMode.Normal, true):front()
  track:add_processor_by_index(ARDOUR.LuaAPI.new_luaproc(Session, "DC Test Signal"), 0, nil, true)
  local proc = ARDOUR.LuaAPI.new_plugin(Session, "urn:tarnby-audio:dithercrunch", ARDOUR.PluginType.LV2, "")
  if proc:isnil() then print("plugin not loaded") os.exit(1) end
  track:add_processor_by_index(proc, 1, nil, true)
  local plugin = proc:to_insert():plugin(0)
  print("plugin " .. plugin:name() .. " " .. plugin:unique_id())
  local preset = plugin:preset_by_label("Fold")
  if not preset or not plugin:load_preset(preset) then print("preset Fold not loaded") os.exit(1) end
  ARDOUR.LuaAPI.set_processor_param(proc, 0, 0.7)
  print_parameters(proc)
  proc:deactivate()
  export("input")
  proc:activate()
  export("output")
  Session:save_state("", false, false, false, false, false)
else
  if not load_session(dir .. "/session", "dc") then print("session not loaded") os.exit(1) end
  local proc = nil
  for route in Session:get_tracks():iter() do
    proc = proc or find_plugin(route:to_track())
  end
  if not proc then print("plugin not found after reload") os.exit(1) end
  print_parameters(proc)
  proc:deactivate()
  export("reloaded-input")
  proc:activate()
  export("reloaded")
end
close_session()
