#include "tools/kit/RenderReport.h"

#include "tools/kit/LevelMeter.h"
#include "tools/kit/ToolMain.h"

#include <cinttypes>
#include <cstdio>

void warnAboutLateControlChanges(const std::vector<ControlChange>& changes, uint64_t totalFrames, int32_t sampleRate)
{
    for (const ControlChange& change : changes)
        if (frameAt(change.seconds, sampleRate) >= totalFrames)
        {
            char text[160];
            std::snprintf(text, sizeof(text), "--cc at %g s comes after the end of the render (%.3f s with the tail) and is not sent",
                          change.seconds, static_cast<double>(totalFrames) / sampleRate);
            printWarning(text);
        }
}

void printLevels(const char* what, int32_t channels, uint64_t frames, int32_t sampleRate, const LevelMeter& levels)
{
    std::printf("%-6s %d ch, %" PRIu64 " frames at %d Hz: peak %.2f dBFS, RMS %.2f dBFS\n", what, channels, frames, sampleRate,
                toDecibels(levels.peak()), toDecibels(levels.rms()));
}

void printWritten(const std::string& output, Container container, bool rf64, SampleFormat format)
{
    std::printf("wrote  %s (%s%s, %s)\n", output.c_str(), containerName(container), rf64 ? " as RF64" : "", sampleFormatName(format));
}
