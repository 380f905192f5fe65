// What auhost asks of an AudioUnit, in plain types: this header is shared
// by code that sees the platform's AudioUnit headers and code that does not
// (the tools' own AudioBuffer shares a name with the published record).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct AUError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Prints the component's registration, buses, formats, latency and
// parameters. Throws AUError.
void printComponentInfo(const std::string& bundle);

struct AUMidiEvent
{
    size_t frame;
    uint8_t status, data1, data2;
};

struct AURenderRequest
{
    std::string bundle;
    double sampleRate = 48000.0;
    uint32_t inputChannels = 2; // 1 or 2
    const float* input = nullptr; // interleaved
    size_t frames = 0;
    size_t tailFrames = 0;
    uint32_t blockSize = 512;
    std::vector<std::pair<std::string, float>> settings; // parameter ID or name, AudioUnit value
    std::vector<AUMidiEvent> midi; // sorted by frame
    std::string state; // an .aupreset restored as the unit's ClassInfo first, or empty
    int32_t preset = -1; // a factory preset selected after the state, or -1
};

// Interleaved stereo output of the whole request. Throws AUError.
std::vector<float> renderWithComponent(const AURenderRequest& request, void (*progress)(double, void*), void* progressData);
