// Option values every effect host takes: parameter settings and timed MIDI
// control changes, parsed from their command-line form, the checks of a
// render's options and the render's source.
#pragma once

#include "tools/kit/AudioStream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct OptionDescription;
struct ParsedArguments;
enum class SampleFormat; // tools/SoundFile.h

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

// "--format" when given: pcm16, pcm24 or float. Throws UsageError for any
// other name.
std::optional<SampleFormat> formatOption(const ParsedArguments& arguments);
// --seconds more than 0 and at most a day, --tail from 0 to 3600 seconds.
// Throws UsageError.
void checkDurations(double seconds, double tailSeconds);
// A render's source and output: one of -i INPUT and --generate KIND, no
// signal options with an input file, and an output whose container holds
// `format`. Throws UsageError.
void checkRenderTarget(const ParsedArguments& arguments, const std::string& input, const std::string& generate,
                       const std::string& output, std::optional<SampleFormat> format);
// The input file when `input` is given (its sample format goes to
// `inputFormat`), else the test signal `generate` of `seconds`, `channels`
// and `sampleRate`. Throws FileError for a file that does not open.
std::unique_ptr<AudioSource> openRenderSource(const std::string& input, const std::string& generate, double seconds,
                                              int32_t channels, int32_t sampleRate,
                                              std::optional<SampleFormat>& inputFormat);

// Rows of the render commands' help that both hosts share.
OptionDescription generateOption();
OptionDescription secondsOption();
OptionDescription renderOutputOption();
OptionDescription controlChangeOption();
