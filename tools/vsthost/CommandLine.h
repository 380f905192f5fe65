// The command line of vsthost: its commands and options, parsed and checked.
#pragma once

#include "tools/kit/HostOptions.h"
#include "tools/kit/ToolMain.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct CommandLine
{
    enum class Command
    {
        info,
        render,
        save,
        edit
    };

    Command command = Command::info;
    std::string effect;
    RenderOptions render;               // render; info takes --rate from it
    std::optional<int32_t> sampleRate;  // --rate when given
    std::string preset;
    std::string programName; // save: the name given to the program written
    std::string saveOnClose; // edit: the .fxp or .fxb written when the window closes
    bool bank = false;
    bool quiet = false;
    bool raw = false;
    std::vector<std::string> settingTexts;
    std::vector<ParameterSetting> settings;

    // vsthost's commands and options, bound to `line`'s fields.
    static ToolCommandLinePtr describe(CommandLine& line);
    // Checks what the parser filled in for `command`. Throws UsageError
    // naming the bad argument.
    void finish(const ToolCommandLine& parser, const std::string& command);
    // describe, parse and finish; a call without a command is an error.
    static CommandLine parse(const std::vector<std::string>& arguments);
};
