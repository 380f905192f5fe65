// The command line of vsthost: its commands and options, parsed and checked.
#pragma once

#include "tools/kit/ArgumentParser.h"
#include "tools/kit/HostOptions.h"
#include "tools/kit/SoundFile.h"

#include <cstdint>
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
    std::string input;
    std::string generate; // "sine", "noise" or "sweep" instead of an input file
    double seconds = 5.0;
    int32_t channels = 2;
    std::optional<int32_t> sampleRate;
    int32_t blockSize = 512;
    double tailSeconds = 0.0;
    std::string output;
    std::optional<SampleFormat> format; // empty: the default for the input
    std::string preset;
    std::string saveOnClose; // edit: the .fxp or .fxb written when the window closes
    bool bank = false;
    bool quiet = false;
    bool raw = false;
    std::vector<ParameterSetting> settings;
    std::vector<ControlChange> controlChanges;

    // vsthost's commands and options, with their help texts.
    static const ArgumentParser& parser();
    // Checks what parser() split. Throws UsageError naming the bad argument.
    static CommandLine from(const ParsedArguments& arguments);
    // parser().parse, then from(); a call without a command is an error.
    static CommandLine parse(const std::vector<std::string>& arguments);
};

