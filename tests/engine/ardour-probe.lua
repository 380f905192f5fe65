-- Run by ardour-check.sh in Ardour's headless Lua session: loads the Linux VST
-- named DitherCrunch into a new session and prints what the host sees of it.
local dir = os.getenv("DC_ARDOUR_DIR")
local s = create_session(dir .. "/session", "probe", 44100)
if not s then
  print("no session")
  os.exit(1)
end
local proc = ARDOUR.LuaAPI.new_plugin(s, "DitherCrunch", ARDOUR.PluginType.LXVST, "")
if proc:isnil() then
  print("plugin not loaded")
else
  local plugin = proc:to_insert():plugin(0)
  print("plugin " .. plugin:name() .. " id " .. plugin:unique_id() .. " parameters " .. plugin:parameter_count())
  for i = 0, plugin:parameter_count() - 1 do
    print("parameter " .. i .. " " .. plugin:parameter_label(i))
  end
end
close_session()
