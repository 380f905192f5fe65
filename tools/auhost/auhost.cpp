// auhost: a command-line AudioUnit host written against the published
// Component Manager and AudioUnit calls only. Lists a component's
// registration, buses, formats and parameters; renders audio through it
// block by block.
#include "tools/auhost/AUEdit.h"
#include "tools/auhost/AUHost.h"
#include "tools/auhost/AUStateCommands.h"
#include "tools/kit/ArgumentParser.h"
#include "tools/kit/FileChecks.h"
#include "tools/kit/HostOptions.h"
#include "tools/kit/LevelMeter.h"
#include "tools/kit/ProgressBar.h"
#include "tools/kit/SoundFile.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/ToolMain.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{

const OptionDescription kQuiet{"--quiet", "-q", "", "no progress bar and no summary"};

ToolDescription auhostDescription()
{
    ToolDescription tool;
    tool.name = "auhost";
    tool.version = DC_VERSION;
    tool.summary = "auhost hosts an AudioUnit component on the command line through the published AudioUnit calls:\n"
                   "it lists the component's registration, buses and parameters, renders audio files through it, saves and\n"
                   "restores its state as .aupreset files, lists its factory presets and converts VST preset folders.";
    tool.footer = "BUNDLE is an AudioUnit component bundle (for example build/au/DitherCrunch.component).\n"
                  "Exit status: 0 success, 1 a bad file or component, 2 a bad argument.\n";
    CommandDescription info{"info", "BUNDLE",
                     "Lists the registration, version, buses and stream formats, latency and the parameters (ID, name, unit,\n"
                     "range, default, current value, flags and value names).",
                     {},
                     ""};
    CommandDescription render{
        "render",
        "BUNDLE (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels 1|2] [--rate HZ])\n"
        "-o OUTPUT [--format pcm16|pcm24|float] [--block N] [--set PARAM=VALUE]...\n"
        "[--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]... [--tail SECONDS] [--state FILE] [--preset N] [--quiet]",
        "Runs an audio file or a generated signal through the component, one render cycle per block, and writes the result.",
        {{"--input", "-i", "FILE", "the audio file to process (mono or stereo); the unit runs at its rate"},
         generateOption(),
         secondsOption(),
         {"--channels", "", "N", "channels of the generated signal, 1 or 2 (default 2)"},
         {"--rate", "", "HZ", "sample rate of the generated signal, 1000 to 768000 (default 48000)"},
         renderOutputOption(),
         {"--format", "", "F", "sample format: pcm16, pcm24 or float (default: the input's own; float for generated signals)"},
         {"--block", "", "N", "frames per render cycle, 1 to 65536 (default 512); also the unit's maximum slice"},
         {"--set", "", "PARAM=VALUE", "a parameter by ID or name, VALUE in its AudioUnit units (see auhost info)", true},
         controlChangeOption(),
         {"--tail", "", "SECONDS", "silence fed after the input (default 0, at most 3600)"},
         kQuiet},
        "A mono input uses the unit's mono-in, stereo-out configuration; the output is always stereo.\n"
        "The output is written to a temporary file beside it and moved into place only when the render succeeds;\n"
        "an output that is the input, also through a link, is refused.\n"};
    CommandDescription edit{"edit", "BUNDLE [--state FILE.aupreset] [--preset N] [--set PARAM=VALUE]... [--save OUTPUT.aupreset] [--quiet]",
                     "Opens the unit's editor view in a window of its own, found through the unit's CocoaUI property, and\n"
                     "renders a test signal through the unit while it is open; prints the parameter changes and gestures the\n"
                     "host hears. Close the window to finish.",
                     {{"--state", "", "FILE", "an .aupreset restored as the unit's state before the window opens"},
                      {"--preset", "", "N", "a factory preset selected (after --state) before the window opens"},
                      {"--set", "", "PARAM=VALUE", "a parameter by ID or name, VALUE in its AudioUnit units", true},
                      {"--save", "", "FILE", "when the window closes, write the unit's state as an .aupreset"},
                      kQuiet},
                     "Needs an X display (DISPLAY). A state that does not load ends the command with an error and writes\n"
                     "nothing. The signal (220 Hz at -6 dBFS, 48000 Hz) is rendered and dropped, so that the editor shows\n"
                     "where the curve is being used; the main event loop is pumped every 10 ms.\n"};
    for (const OptionDescription& option : renderStateOptions())
        render.options.push_back(option);
    tool.commands = {info, render, edit};
    for (const CommandDescription& command : stateCommandDescriptions())
        tool.commands.push_back(command);
    return tool;
}

struct AUCommandLine
{
    bool render = false;
    std::string bundle, input, output, generate;
    double seconds = 5.0;
    int32_t channels = 2;
    int32_t sampleRate = 48000;
    int32_t blockSize = 512;
    double tailSeconds = 0.0;
    std::optional<SampleFormat> format;
    bool quiet = false;
    std::vector<std::pair<std::string, float>> settings;
    std::vector<ControlChange> controlChanges;
    std::string state; // an .aupreset restored first, or empty
    int32_t preset = -1; // a factory preset selected after it, or -1
};

AUCommandLine commandLineFrom(const ParsedArguments& arguments)
{
    AUCommandLine line;
    line.render = arguments.command == "render";
    try
    {
        line.bundle = onePositional(arguments, "component bundle", "bundle");
        if (!line.render)
            return line;
        line.input = arguments.value("--input");
        line.output = arguments.value("--output");
        line.generate = arguments.value("--generate");
        line.quiet = arguments.has("--quiet");
        if (arguments.has("--seconds"))
            line.seconds = parseNumber(arguments.value("--seconds"), "--seconds");
        if (arguments.has("--channels"))
            line.channels = parseInteger(arguments.value("--channels"), "--channels", 1, 2);
        if (arguments.has("--rate"))
        {
            const double rate = parseNumber(arguments.value("--rate"), "--rate");
            if (rate < 1000.0 || rate > 768000.0 || rate != std::floor(rate))
                throw UsageError("bad --rate: sample rates are whole numbers from 1000 to 768000 Hz");
            line.sampleRate = static_cast<int32_t>(rate);
        }
        if (arguments.has("--block"))
            line.blockSize = parseInteger(arguments.value("--block"), "--block", 1, 1 << 16);
        if (arguments.has("--tail"))
            line.tailSeconds = parseNumber(arguments.value("--tail"), "--tail");
        line.format = formatOption(arguments);
        for (const std::string& text : arguments.values("--set"))
        {
            ParameterSetting setting = parseUnitSetting(text, R"(0=12.5 or "Pre Cut=0.25")");
            line.settings.emplace_back(std::move(setting.parameter), setting.value);
        }
        line.state = arguments.value("--state");
        if (arguments.has("--preset"))
            line.preset = parseInteger(arguments.value("--preset"), "--preset", 0, 0x7FFFFFFF);
        for (const std::string& text : arguments.values("--cc"))
            line.controlChanges.push_back(parseControlChange(text));

        checkDurations(line.seconds, line.tailSeconds);
        checkRenderTarget(arguments, line.input, line.generate, line.output, line.format);
    }
    catch (UsageError& e)
    {
        if (e.command.empty())
            e.command = arguments.command;
        throw;
    }
    return line;
}

AUEditRequest editRequestFrom(const ParsedArguments& arguments)
{
    AUEditRequest request;
    try
    {
        request.bundle = onePositional(arguments, "component bundle", "bundle");
        request.state = arguments.value("--state");
        if (arguments.has("--preset"))
            request.preset = parseInteger(arguments.value("--preset"), "--preset", 0, 0x7FFFFFFF);
        request.saveOnClose = arguments.value("--save");
        request.quiet = arguments.has("--quiet");
        if (!request.saveOnClose.empty() && !request.saveOnClose.ends_with(".aupreset"))
            throw UsageError("--save writes .aupreset files, not \"" + request.saveOnClose + "\"");
        for (const std::string& text : arguments.values("--set"))
        {
            const size_t at = text.rfind('=');
            if (at == std::string::npos || at == 0)
                throw UsageError("bad --set \"" + text + "\" (expected PARAMETER=VALUE, e.g. 0=12.5 or \"Pre Cut=0.25\")");
            request.settings.emplace_back(text.substr(0, at), static_cast<float>(parseNumber(text.substr(at + 1), "--set value")));
        }
    }
    catch (UsageError& e)
    {
        if (e.command.empty())
            e.command = arguments.command;
        throw;
    }
    return request;
}

void printLevels(const char* what, int32_t channels, uint64_t frames, int32_t rate, const LevelMeter& levels)
{
    std::printf("%-6s %d ch, %" PRIu64 " frames at %d Hz: peak %.2f dBFS, RMS %.2f dBFS\n", what, channels, frames, rate,
                toDecibels(levels.peak()), toDecibels(levels.rms()));
}

uint64_t frameAt(double seconds, int32_t rate)
{
    return static_cast<uint64_t>(std::llround(seconds * rate));
}

int render(const AUCommandLine& line)
{
    if (!line.input.empty() && isSameFile(line.output, line.input))
        throw UsageError("the output " + line.output + " is the input " + line.input + " (choose another output file)", "render");
    std::optional<SampleFormat> inputFormat;
    const std::unique_ptr<AudioSource> source =
        openRenderSource(line.input, line.generate, line.seconds, line.channels, line.sampleRate, inputFormat);
    const int32_t channels = source->channels();
    if (channels != 1 && channels != 2)
        throw FileError("the input " + line.input + " has " + std::to_string(channels) + " channels; the unit takes mono or stereo");
    const int32_t rate = source->sampleRate();
    const Container container = *containerFor(line.output);
    const SampleFormat format = line.format.value_or(defaultSampleFormat(container, inputFormat));

    AUStreamRenderer unit(line.bundle, rate, static_cast<uint32_t>(channels), static_cast<uint32_t>(line.blockSize), line.settings,
                          line.state, line.preset);

    std::vector<ControlChange> changes = line.controlChanges;
    std::stable_sort(changes.begin(), changes.end(), [](const ControlChange& a, const ControlChange& b) { return a.seconds < b.seconds; });
    const uint64_t tailFrames = frameAt(line.tailSeconds, rate);
    const uint64_t total = source->frames() + tailFrames;
    for (const ControlChange& change : changes)
        if (frameAt(change.seconds, rate) >= total)
        {
            char text[160];
            std::snprintf(text, sizeof(text), "--cc at %g s comes after the end of the render (%.3f s with the tail) and is not sent",
                          change.seconds, static_cast<double>(total) / rate);
            printWarning(text);
        }

    SoundFileWriter writer(line.output, container, format, AUStreamRenderer::outputChannels, rate);
    ProgressBar bar(stderr, !line.quiet);
    LevelMeter inputLevels, outputLevels;
    const auto block = static_cast<size_t>(line.blockSize);
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
        std::printf("wrote  %s (%s, %s)\n", line.output.c_str(), containerName(container), sampleFormatName(format));
    }
    return ExitStatus::success;
}

} // namespace

int main(int argc, char** argv)
{
    static const ArgumentParser parser(auhostDescription());
    return runTool(parser, argc, argv, [](const ParsedArguments& arguments) {
        if (isStateCommand(arguments.command))
            return runStateCommand(arguments);
        if (arguments.command == "edit")
            return runAUEdit(editRequestFrom(arguments));
        const AUCommandLine line = commandLineFrom(arguments);
        if (!line.render)
        {
            printComponentInfo(line.bundle);
            return ExitStatus::success;
        }
        return render(line);
    });
}
