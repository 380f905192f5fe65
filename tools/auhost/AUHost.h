// What auhost asks of an AudioUnit, in plain types: this header is shared
// by code that sees the platform's AudioUnit headers and code that does not
// (the tools' own AudioBuffer shares a name with the published record).
#pragma once

#include "tools/auhost/AUCommandLine.h"

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

// A MIDI event at a frame of the block it is sent with.
struct AUMidiEvent
{
    uint32_t frame;
    uint8_t status, data1, data2;
};

// One component opened for a render: the state `line` starts from (its
// --state, --preset, --factory and --set), stream formats at `sampleRate`
// with `inputChannels` (1 or 2) in and stereo out, slices of
// `line.render.blockSize` frames, and the unit initialised. Throws AUError,
// or UsageError for a setting the unit does not take.
class AUStreamRenderer
{
public:
    AUStreamRenderer(const AUCommandLine& line, int32_t sampleRate, uint32_t inputChannels);
    ~AUStreamRenderer();
    AUStreamRenderer(const AUStreamRenderer&) = delete;
    AUStreamRenderer& operator=(const AUStreamRenderer&) = delete;

    static constexpr uint32_t outputChannels = 2;
    // One render cycle: `frames` (at most the block size) interleaved input
    // frames in, interleaved stereo out; `events` go out before it.
    void process(const float* input, float* output, uint32_t frames, const std::vector<AUMidiEvent>& events);

private:
    struct State;
    State* state;
};
