// The command line of vsthost, parsed and checked.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// One "--set" argument: a parameter by index or name, and its value 0..1.
struct ParameterSetting
{
    std::string parameter;
    float value = 0.0f;
};

// One "--cc" argument: a MIDI control change at a time in seconds.
struct ControlChange
{
    double seconds = 0.0;
    int32_t controller = 0;
    int32_t value = 0;
    int32_t channel = 1; // 1 to 16
};

struct CommandLine
{
    enum class Command
    {
        help,
        info,
        render,
        save
    };

    Command command = Command::help;
    std::string effect;
    std::string input;
    std::string generate; // "sine", "noise" or "sweep" instead of an input file
    double seconds = 5.0;
    int32_t channels = 2;
    std::optional<double> sampleRate;
    int32_t blockSize = 512;
    double tailSeconds = 0.0;
    std::string output;
    std::string preset;
    bool bank = false;
    bool quiet = false;
    std::vector<ParameterSetting> settings;
    std::vector<ControlChange> controlChanges;

    // Throws UsageError with a message naming the bad argument.
    static CommandLine parse(const std::vector<std::string>& arguments);
    static const char* usage();
};

ParameterSetting parseSetting(const std::string& text);
ControlChange parseControlChange(const std::string& text);
