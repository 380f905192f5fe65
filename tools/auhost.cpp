// auhost: a command-line AudioUnit host written against the published
// Component Manager and AudioUnit calls only. Lists a component's
// registration, buses, formats and parameters; renders audio files through it.
#include "tools/AUHost.h"
#include "tools/AUStateCommands.h"
#include "tools/CommandLine.h"
#include "tools/ProgressBar.h"
#include "tools/SoundFile.h"
#include "tools/TestSignal.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr int kFailure = 1;
constexpr int kBadUsage = 2;

struct AUSetting
{
    std::string parameter;
    float value = 0.0f;
};

struct AUCommandLine
{
    std::string command; // "help", "info" or "render"
    std::string bundle;
    std::string input, output, generate;
    double seconds = 5.0;
    int32_t channels = 2;
    double sampleRate = 0.0; // 0: not given
    int32_t blockSize = 512;
    double tailSeconds = 0.0;
    bool quiet = false;
    std::vector<AUSetting> settings;
    std::vector<ControlChange> controlChanges;
    std::string state; // an .aupreset restored as ClassInfo before rendering
    int32_t preset = -1; // a factory preset selected before rendering
};

const char* usage()
{
    return "usage:\n"
           "  auhost info BUNDLE\n"
           "  auhost render BUNDLE (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels 1|2] [--rate HZ])\n"
           "                -o OUTPUT [--block N] [--set PARAM=VALUE]... [--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]...\n"
           "                [--tail SECONDS] [--state FILE.aupreset] [--preset N] [--quiet]\n"
           "  auhost save BUNDLE -o NAME.aupreset [--state FILE] [--preset N] [--set PARAM=VALUE]...\n"
           "  auhost presets BUNDLE\n"
           "  auhost convert BUNDLE [--quiet]\n"
           "\n"
           "BUNDLE is an AudioUnit component bundle (for example build/au/DitherCrunch.component).\n"
           "PARAM is a parameter's ID or its name; VALUE is in the parameter's own units (see auhost info).\n"
           "Audio files: .wav, .flac, .aif, .aiff (libsndfile), mono or stereo. The unit runs at the input's rate.\n";
}

double number(const std::string& text, const std::string& what)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw UsageError("bad " + what + ": \"" + text + "\" is not a number");
    return value;
}

int32_t integer(const std::string& text, const std::string& what, long lowest, long highest)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < lowest || value > highest)
        throw UsageError("bad " + what + ": \"" + text + "\" (expected a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ")");
    return static_cast<int32_t>(value);
}

AUCommandLine parse(const std::vector<std::string>& arguments)
{
    AUCommandLine line;
    line.command = "help";
    if (arguments.empty() || arguments[0] == "help" || arguments[0] == "--help" || arguments[0] == "-h")
        return line;
    line.command = arguments[0];
    if (line.command != "info" && line.command != "render")
        throw UsageError("unknown command \"" + line.command + "\" (expected info, render, save, presets or convert)");
    auto valueOf = [&](size_t& i) -> const std::string& {
        if (i + 1 >= arguments.size())
            throw UsageError("option " + arguments[i] + " needs a value");
        return arguments[++i];
    };
    bool secondsGiven = false;
    for (size_t i = 1; i < arguments.size(); ++i)
    {
        const std::string& a = arguments[i];
        if (a == "-i" || a == "--input")
            line.input = valueOf(i);
        else if (a == "-o" || a == "--output")
            line.output = valueOf(i);
        else if (a == "--generate")
            line.generate = valueOf(i);
        else if (a == "--seconds")
        {
            line.seconds = number(valueOf(i), "--seconds");
            secondsGiven = true;
        }
        else if (a == "--channels")
            line.channels = integer(valueOf(i), "--channels", 1, 2);
        else if (a == "--rate")
            line.sampleRate = number(valueOf(i), "--rate");
        else if (a == "--block")
            line.blockSize = integer(valueOf(i), "--block", 1, 1 << 16);
        else if (a == "--tail")
            line.tailSeconds = number(valueOf(i), "--tail");
        else if (a == "--set")
        {
            const std::string& text = valueOf(i);
            const size_t at = text.rfind('=');
            if (at == std::string::npos || at == 0)
                throw UsageError("bad --set \"" + text + "\" (expected PARAMETER=VALUE, e.g. 0=0.5 or \"Pre Cut=0.25\")");
            line.settings.push_back({text.substr(0, at), static_cast<float>(number(text.substr(at + 1), "--set value"))});
        }
        else if (a == "--state")
            line.state = valueOf(i);
        else if (a == "--preset")
            line.preset = integer(valueOf(i), "--preset", 0, 0x7FFFFFFF);
        else if (a == "--cc")
            line.controlChanges.push_back(parseControlChange(valueOf(i)));
        else if (a == "-q" || a == "--quiet")
            line.quiet = true;
        else if (!a.empty() && a[0] == '-')
            throw UsageError("unknown option " + a);
        else if (line.bundle.empty())
            line.bundle = a;
        else
            throw UsageError("unexpected argument \"" + a + "\"");
    }
    if (line.bundle.empty())
        throw UsageError("no component bundle given");
    if (line.sampleRate != 0.0 && (line.sampleRate < 1000.0 || line.sampleRate > 768000.0))
        throw UsageError("bad --rate: sample rates run from 1000 to 768000 Hz");
    if (line.tailSeconds < 0.0 || line.tailSeconds > 3600.0)
        throw UsageError("bad --tail: from 0 to 3600 seconds");
    if (line.seconds <= 0.0 || line.seconds > 24.0 * 3600.0)
        throw UsageError("bad --seconds: more than 0 and at most a day");
    if (line.command == "render")
    {
        if (line.input.empty() == line.generate.empty())
            throw UsageError("render needs either -i INPUT or --generate KIND");
        if (!line.generate.empty() && line.generate != "sine" && line.generate != "noise" && line.generate != "sweep")
            throw UsageError("bad --generate \"" + line.generate + "\" (expected sine, noise or sweep)");
        if (!line.input.empty() && (line.sampleRate != 0.0 || secondsGiven))
            throw UsageError("--rate and --seconds apply to generated signals; an input file has its own");
        if (line.output.empty())
            throw UsageError("render needs -o OUTPUT");
    }
    else if (!line.output.empty() || !line.input.empty() || !line.settings.empty() || !line.state.empty() || line.preset >= 0)
        throw UsageError("info takes no input, output or settings");
    return line;
}

void printLevels(const char* what, const AudioBuffer& audio)
{
    std::printf("%-6s %d ch, %zu frames at %.0f Hz: peak %.2f dBFS, RMS %.2f dBFS\n", what, audio.channels, audio.frames(),
                audio.sampleRate, toDecibels(audio.peak()), toDecibels(audio.rms()));
}

void showProgress(double fraction, void* bar)
{
    static_cast<ProgressBar*>(bar)->update(fraction);
}

int render(const AUCommandLine& line)
{
    if (!SoundFile::isWritableName(line.output))
        throw SoundFileError("unknown output format for " + line.output + " (use .wav, .flac, .aif or .aiff)");
    const AudioBuffer input = line.input.empty()
                                  ? generateSignal(line.generate, line.seconds, line.channels,
                                                   line.sampleRate != 0.0 ? line.sampleRate : 48000.0)
                                  : SoundFile::read(line.input);
    if (input.channels != 1 && input.channels != 2)
        throw AUError("the input has " + std::to_string(input.channels) + " channels; the unit takes mono or stereo");

    AURenderRequest request;
    request.bundle = line.bundle;
    request.sampleRate = input.sampleRate;
    request.inputChannels = static_cast<uint32_t>(input.channels);
    request.input = input.samples.data();
    request.frames = input.frames();
    request.tailFrames = static_cast<size_t>(std::llround(line.tailSeconds * input.sampleRate));
    request.blockSize = static_cast<uint32_t>(line.blockSize);
    request.state = line.state;
    request.preset = line.preset;
    for (const AUSetting& setting : line.settings)
        request.settings.emplace_back(setting.parameter, setting.value);
    std::vector<ControlChange> changes = line.controlChanges;
    std::stable_sort(changes.begin(), changes.end(), [](const ControlChange& a, const ControlChange& b) { return a.seconds < b.seconds; });
    for (const ControlChange& c : changes)
        request.midi.push_back({static_cast<size_t>(std::llround(c.seconds * input.sampleRate)), static_cast<uint8_t>(0xB0 | (c.channel - 1)),
                                static_cast<uint8_t>(c.controller), static_cast<uint8_t>(c.value)});

    ProgressBar bar(stderr, !line.quiet);
    AudioBuffer output;
    output.sampleRate = input.sampleRate;
    output.channels = 2;
    output.samples = renderWithComponent(request, &showProgress, &bar);
    bar.finish();

    // Written beside the output first, so a failed write leaves an existing file as it was.
    const fs::path target(line.output);
    const fs::path temporary = target.parent_path() / ("." + target.stem().string() + ".auhost-partial" + target.extension().string());
    try
    {
        SoundFile::write(temporary, output);
        fs::rename(temporary, target);
    }
    catch (...)
    {
        std::error_code ec;
        fs::remove(temporary, ec);
        throw;
    }
    printLevels("input", input);
    printLevels("output", output);
    std::printf("wrote  %s\n", line.output.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && isStateCommand(arguments[0]))
    {
        try
        {
            return runStateCommand(arguments);
        }
        catch (const UsageError& e)
        {
            std::fprintf(stderr, "auhost: %s\n\n%s", e.what(), usage());
            return kBadUsage;
        }
        catch (const std::exception& e)
        {
            std::fprintf(stderr, "auhost: %s\n", e.what());
            return kFailure;
        }
    }
    AUCommandLine line;
    try
    {
        line = parse(std::vector<std::string>(argv + 1, argv + argc));
    }
    catch (const UsageError& e)
    {
        std::fprintf(stderr, "auhost: %s\n\n%s", e.what(), usage());
        return kBadUsage;
    }
    try
    {
        if (line.command == "help")
        {
            std::fputs(usage(), stdout);
            return 0;
        }
        if (line.command == "info")
        {
            printComponentInfo(line.bundle);
            return 0;
        }
        return render(line);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "auhost: %s\n", e.what());
        return kFailure;
    }
}
