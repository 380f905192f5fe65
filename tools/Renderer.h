// Runs audio through a hosted effect block by block, with MIDI control
// changes delivered at their sample positions.
#pragma once

#include "auadapter/VSTPlugIn.h"
#include "tools/AudioBuffer.h"
#include "tools/CommandLine.h"
#include "tools/ToolHost.h"

#include <functional>
#include <vector>

class Renderer
{
public:
    // Sizes every buffer for `blockSize` frames; the effect must be open.
    Renderer(VSTPlugIn& plugIn, ToolHost& host, int32_t blockSize);

    // The effect's output for `input` (followed by `tailSeconds` of silence).
    // Input channels map onto the effect's inputs one to one; a mono input
    // feeds every effect input. The output has the effect's output count.
    // `progress` (may be empty) receives the fraction done after each block.
    AudioBuffer render(const AudioBuffer& input, std::vector<ControlChange> changes, double tailSeconds,
                       const std::function<void(double)>& progress);

private:
    VSTPlugIn& plugIn;
    ToolHost& host;
    int32_t blockSize;
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
};
