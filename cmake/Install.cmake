# cmake --install: every form and both hosts, honouring DESTDIR.
#
# Under the prefix (default /usr/local): lib/vst/DitherCrunch.so with the
# factory presets as FXP files in lib/vst/DitherCrunch-presets/,
# lib/lv2/DitherCrunch.lv2/, lib/au/DitherCrunch.component/, bin/vsthost and
# bin/auhost with the platform library they use in lib/.
#
# With DC_INSTALL_FOR_USER the plug-ins go where hosts look in the user's
# home instead: ~/.vst, ~/.lv2 and ~/Library/Audio/Plug-Ins/Components, and
# the hosts into ~/.local/bin.
option(DC_INSTALL_FOR_USER "Install into the user's own plug-in folders" OFF)
if(DC_INSTALL_FOR_USER)
  set(DC_INSTALL_VST_DIR "$ENV{HOME}/.vst")
  set(DC_INSTALL_LV2_DIR "$ENV{HOME}/.lv2")
  set(DC_INSTALL_AU_DIR "$ENV{HOME}/Library/Audio/Plug-Ins/Components")
  set(DC_INSTALL_BIN_DIR "$ENV{HOME}/.local/bin")
  set(DC_INSTALL_LIB_DIR "$ENV{HOME}/.local/lib")
else()
  set(DC_INSTALL_VST_DIR lib/vst)
  set(DC_INSTALL_LV2_DIR lib/lv2)
  set(DC_INSTALL_AU_DIR lib/au)
  set(DC_INSTALL_BIN_DIR bin)
  set(DC_INSTALL_LIB_DIR lib)
endif()
set(DC_INSTALL_PRESETS_DIR ${DC_INSTALL_VST_DIR}/DitherCrunch-presets)

install(TARGETS DitherCrunch LIBRARY DESTINATION ${DC_INSTALL_VST_DIR})
install(DIRECTORY ${DC_PRESETS_DIR}/ DESTINATION ${DC_INSTALL_PRESETS_DIR} FILES_MATCHING PATTERN "*.fxp")

# The whole bundle folder, the UI's files included.
install(DIRECTORY ${DC_LV2_BUNDLE} DESTINATION ${DC_INSTALL_LV2_DIR} USE_SOURCE_PERMISSIONS)

if(TARGET DitherCrunchComponent)
  set(contents ${DC_INSTALL_AU_DIR}/DitherCrunch.component/Contents)
  install(FILES ${DC_AU_BUNDLE}/Contents/Info.plist DESTINATION ${contents})
  install(TARGETS DitherCrunchComponent LIBRARY DESTINATION ${contents}/x86_64-linux)
  install(FILES $<TARGET_FILE:AUPlatform> DESTINATION ${contents}/Frameworks RENAME libAUPlatform.so.1)
  install(DIRECTORY DESTINATION ${contents}/Resources)
endif()

if(TARGET vsthost AND TARGET auhost)
  install(TARGETS AUPlatform LIBRARY DESTINATION ${DC_INSTALL_LIB_DIR} NAMELINK_SKIP)
  install(TARGETS vsthost auhost RUNTIME DESTINATION ${DC_INSTALL_BIN_DIR})
  file(RELATIVE_PATH lib_from_bin /${DC_INSTALL_BIN_DIR} /${DC_INSTALL_LIB_DIR})
  set_target_properties(vsthost auhost PROPERTIES INSTALL_RPATH "$ORIGIN/${lib_from_bin}")
endif()

# The component writes its parameter mapping and factory presets into its
# Resources folder when first opened; open the installed copy once now, so
# that a system-wide copy never needs to write there. A scratch home and
# local domain keep it from converting anyone's presets meanwhile.
if(TARGET DitherCrunchComponent AND TARGET auhost)
  install(CODE "
    set(bundle \"${DC_INSTALL_AU_DIR}/DitherCrunch.component\")
    if(NOT IS_ABSOLUTE \"\${bundle}\")
      set(bundle \"\${CMAKE_INSTALL_PREFIX}/\${bundle}\")
    endif()
    set(bundle \"\$ENV{DESTDIR}\${bundle}\")
    set(scratch \"${CMAKE_BINARY_DIR}/install-scratch\")
    file(REMOVE_RECURSE \"\${scratch}\")
    file(MAKE_DIRECTORY \"\${scratch}\")
    execute_process(
      COMMAND \${CMAKE_COMMAND} -E env HOME=\${scratch} TWINFOLD_LOCAL_DOMAIN=\${scratch}
              $<TARGET_FILE:auhost> info \"\${bundle}\"
      OUTPUT_QUIET RESULT_VARIABLE opened)
    file(REMOVE_RECURSE \"\${scratch}\")
    if(NOT opened EQUAL 0)
      message(FATAL_ERROR \"Opening the installed component \${bundle} failed\")
    endif()
    message(STATUS \"Wrote the installed component's Resources\")")
endif()
