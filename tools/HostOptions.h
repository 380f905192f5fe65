// Option values every effect host takes: parameter settings and timed MIDI
// control changes, parsed from their command-line form.
#pragma once

#include <cstdint>
#include <string>

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

// "PARAMETER=VALUE" with VALUE from 0 to 1. Throws UsageError.
ParameterSetting parseSetting(const std::string& text);
// "SECONDS:CONTROLLER:VALUE[:CHANNEL]". Throws UsageError.
ControlChange parseControlChange(const std::string& text);
