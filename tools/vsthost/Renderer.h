// Runs audio through a hosted effect block by block, from a source to a
// sink, with MIDI control changes delivered at their sample positions and
// the levels of input and output measured on the way.
#pragma once

#include "auadapter/VSTPlugIn.h"
#include "tools/kit/AudioStream.h"
#include "tools/kit/HostOptions.h"
#include "tools/kit/LevelMeter.h"
#include "tools/vsthost/ToolHost.h"

#include <functional>
#include <vector>

class Renderer
{
public:
    struct Result
    {
        uint64_t inputFrames = 0; // what the source delivered
        uint64_t outputFrames = 0;
        LevelMeter input;
        LevelMeter output;
    };

    // Sizes the effect's buffers for `blockSize` frames; the effect must be
    // open and resumed.
    Renderer(VSTPlugIn& plugIn, ToolHost& host, int32_t blockSize);

    // Reads `source` to its end, then `tailFrames` frames of silence, and
    // writes the effect's output to `sink`. Input channels map onto the
    // effect's inputs one to one (extra ones are left out, missing ones get
    // silence); a mono source feeds every effect input. The sink receives
    // the effect's output count of channels. Control changes at or after
    // the last frame are not sent. `progress` (may be empty) receives the
    // fraction done after each block.
    Result render(AudioSource& source, AudioSink& sink, std::vector<ControlChange> changes, uint64_t tailFrames,
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
