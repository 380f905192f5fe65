// The command line of auhost: its commands and options, parsed and checked.
// Plain types only: code that sees the platform's AudioUnit headers
// includes it too.
#pragma once

#include "tools/kit/HostOptions.h"
#include "tools/kit/ToolMain.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>


struct AUCommandLine
{
    std::string command; // info, render, save, presets, convert or edit
    std::string bundle;
    RenderOptions render;
    // What the unit starts from, in this order: a saved state, a preset
    // file, a factory preset, then the parameter settings.
    std::string state;      // --state: an .aupreset restored as the unit's state
    std::string presetFile; // --preset: an .aupreset, or an .fxp or .fxb of the wrapped effect
    int32_t factory = -1;   // --factory: a factory preset's number, or -1
    std::vector<std::string> settingTexts;
    std::vector<ParameterSetting> settings; // parameter ID or name, value in its AudioUnit units
    std::string output;      // save: the .aupreset; convert: the folder written to
    std::string programName; // save: the name given to the state written
    std::vector<std::string> sources; // convert: files and folders
    std::string saveOnClose;          // edit: the .aupreset written when the window closes
    bool quiet = false;

    // auhost's commands and options, bound to `line`'s fields.
    static ToolCommandLinePtr describe(AUCommandLine& line);
    // Checks what the parser filled in for `command`. Throws UsageError
    // naming the bad argument.
    void finish(const ToolCommandLine& parser, const std::string& command);
};
