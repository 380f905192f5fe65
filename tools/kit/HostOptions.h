// Option values every effect host takes: parameter settings and timed MIDI
// control changes parsed from their command-line form, the options of a
// render command with their checks, and the render's source.
#pragma once

#include "tools/kit/AudioStream.h"
#include "tools/kit/AudioFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI
{
class App;
class Option;
} // namespace CLI
class ToolCommandLine;

// One "--set" argument: a parameter by index or name, and its value (0..1
// for a VST effect, the unit's own units for an AudioUnit).
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

// "PARAMETER=VALUE" with VALUE from 0 to 1. Throws UsageError.
ParameterSetting parseSetting(const std::string& text);
// "PARAMETER=VALUE" with VALUE any number (an AudioUnit parameter's own
// units); `example` completes the message for a malformed one. Throws
// UsageError.
ParameterSetting parseUnitSetting(const std::string& text, const std::string& example);
// "SECONDS:CONTROLLER:VALUE[:CHANNEL]". Throws UsageError.
ControlChange parseControlChange(const std::string& text);
// The frame a time in seconds falls on at `sampleRate` (rounded).
uint64_t frameAt(double seconds, int32_t sampleRate);

// What a render command takes, in both hosts.
struct RenderOptions
{
    std::string input;    // an audio file, or empty
    std::string generate; // "sine", "noise" or "sweep" instead of an input file
    double seconds = 5.0;
    int32_t channels = 2;
    int32_t sampleRate = 48000;
    std::string output;
    std::string formatName;
    std::optional<SampleFormat> format; // empty: the default for the input
    int32_t blockSize = 512;
    double tailSeconds = 0.0;
    std::vector<std::string> controlChangeTexts;
    std::vector<ControlChange> controlChanges;
};

// -i, --generate, --seconds, --channels (1 to `maxChannels`), --rate, -o,
// --format, --block, --cc and --tail, with their help and value checks.
void addRenderOptions(CLI::App& render, RenderOptions& options, int32_t maxChannels);
// --rate HZ: a whole number of Hz from 1000 to 768000.
CLI::Option* addRateOption(CLI::App& command, int32_t& rate, const std::string& help);
// After parsing: one of -i INPUT and --generate KIND, no signal options with
// an input file, an output whose container holds the format, and the
// control changes. Throws UsageError.
void finishRenderOptions(const ToolCommandLine& line, const std::string& command, RenderOptions& options);

// The input file when `input` is given (its sample format goes to
// `inputFormat`), else the test signal `generate` of `seconds`, `channels`
// and `sampleRate`. Throws FileError for a file that does not open.
std::unique_ptr<AudioSource> openRenderSource(const RenderOptions& options, std::optional<SampleFormat>& inputFormat);
