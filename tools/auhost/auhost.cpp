// auhost: a command-line AudioUnit host written against the published
// Component Manager and AudioUnit calls only. Lists a component's
// registration, buses, formats and parameters; renders audio through it
// block by block; saves and restores its state; converts VST presets.
#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUConvert.h"
#include "tools/auhost/AUEdit.h"
#include "tools/auhost/AUHost.h"
#include "tools/auhost/AUStateCommands.h"
#include "tools/kit/FileChecks.h"
#include "tools/kit/Interruption.h"
#include "tools/kit/LevelMeter.h"
#include "tools/kit/ProgressBar.h"
#include "tools/kit/RenderReport.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/ToolMain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{

int render(const AUCommandLine& line)
{
    const RenderOptions& options = line.render;
    for (const std::string* read : {&options.input, &line.state, &line.presetFile})
        if (!read->empty() && isSameFile(options.output, *read))
            throw UsageError("the output " + options.output + " is the " + (read == &options.input ? "input " : "preset ") + *read +
                                 " (choose another output file)",
                             "render");
    std::optional<SampleFormat> inputFormat;
    const std::unique_ptr<AudioSource> source = openRenderSource(options, inputFormat);
    const int32_t channels = source->channels();
    if (channels != 1 && channels != 2)
        throw FileError("the input " + options.input + " has " + std::to_string(channels) + " channels; the unit takes mono or stereo");
    const int32_t rate = source->sampleRate();
    const Container container = *containerFor(options.output);
    const SampleFormat format = options.format.value_or(defaultSampleFormat(container, inputFormat));
    const uint64_t tailFrames = frameAt(options.tailSeconds, rate);
    const uint64_t total = source->frames() + tailFrames;
    SoundFileWriter::checkCapacity(options.output, container, format, AUStreamRenderer::outputChannels, total);

    AUStreamRenderer unit(line, rate, static_cast<uint32_t>(channels));

    std::vector<ControlChange> changes = options.controlChanges;
    std::stable_sort(changes.begin(), changes.end(), [](const ControlChange& a, const ControlChange& b) { return a.seconds < b.seconds; });
    warnAboutLateControlChanges(changes, total, rate);

    const InterruptionGuard guard;
    const std::string untouched = outcomeWithoutOutput(options.output);
    SoundFileWriter writer(options.output, container, format, AUStreamRenderer::outputChannels, rate, total);
    ProgressBar bar(stderr, !line.quiet);
    LevelMeter inputLevels, outputLevels;
    const auto block = static_cast<size_t>(options.blockSize);
    std::vector<float> in(block * static_cast<size_t>(channels)), out(block * AUStreamRenderer::outputChannels);
    std::vector<AUMidiEvent> events;
    size_t nextChange = 0;
    uint64_t inputFrames = 0, done = 0, tailLeft = tailFrames;
    bool inputEnded = false;
    for (;;)
    {
        size_t frames = inputEnded ? 0 : source->read(in.data(), block);
        inputFrames += frames;
        inputLevels.add(in.data(), frames * static_cast<size_t>(channels));
        if (frames < block)
            inputEnded = true;
        // After the input, silence for the tail.
        if (frames < block && tailLeft > 0)
        {
            const size_t more = static_cast<size_t>(std::min<uint64_t>(block - frames, tailLeft));
            std::fill_n(in.begin() + static_cast<long>(frames * static_cast<size_t>(channels)), more * static_cast<size_t>(channels), 0.0f);
            frames += more;
            tailLeft -= more;
        }
        if (frames == 0)
            break;
        events.clear();
        while (nextChange < changes.size() && frameAt(changes[nextChange].seconds, rate) < done + frames)
        {
            const ControlChange& c = changes[nextChange++];
            const uint64_t at = frameAt(c.seconds, rate);
            events.push_back({static_cast<uint32_t>(at > done ? at - done : 0), static_cast<uint8_t>(0xB0 | (c.channel - 1)),
                              static_cast<uint8_t>(c.controller), static_cast<uint8_t>(c.value)});
        }
        unit.process(in.data(), out.data(), static_cast<uint32_t>(frames), events);
        writer.write(out.data(), frames);
        outputLevels.add(out.data(), frames * AUStreamRenderer::outputChannels);
        done += frames;
        bar.update(static_cast<double>(done) / static_cast<double>(std::max<uint64_t>(total, 1)));
        throwIfInterrupted(untouched);
    }
    bar.finish();
    writer.finish();

    if (inputFrames < source->frames())
        printWarning("the input ended after " + std::to_string(inputFrames) + " of the " + std::to_string(source->frames()) +
                     " frames its header announces");
    if (writer.clippedSamples() > 0)
        printWarning(std::to_string(writer.clippedSamples()) + " samples clipped at full scale (--format float keeps the peaks)");
    if (!line.quiet)
    {
        printLevels("input", channels, inputFrames, rate, inputLevels);
        printLevels("output", AUStreamRenderer::outputChannels, done, rate, outputLevels);
        printWritten(options.output, container, writer.isRF64(), format);
    }
    return ExitStatus::success;
}

} // namespace

int main(int argc, char** argv)
{
    AUCommandLine line;
    const ToolCommandLinePtr parser = AUCommandLine::describe(line);
    return runTool(*parser, argc, argv, [&](const std::string& command) {
        line.finish(*parser, command);
        if (command == "render")
            return render(line);
        if (command == "save")
            return saveState(line);
        if (command == "presets")
            return listFactoryPresets(line);
        if (command == "convert")
            return convertPresets(line);
        if (command == "edit")
            return runAUEdit(line);
        printComponentInfo(line.bundle);
        return ExitStatus::success;
    });
}
