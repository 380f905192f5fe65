#include "tools/kit/HostOptions.h"

#include "tools/kit/SoundFileReader.h"
#include "tools/kit/TestSignal.h"
#include "tools/kit/ToolCommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;)
    {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

CLI::Validator sampleRateCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            errno = 0;
            char* end = nullptr;
            const double rate = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(rate))
                return "\"" + text + "\" is not a number";
            if (rate < 1000.0 || rate > 768000.0)
                return "sample rates run from 1000 to 768000 Hz";
            // Audio files store whole rates; the effect must run at the one written.
            if (rate != std::floor(rate))
                return "\"" + text + "\": sample rates are whole numbers of Hz (audio files store them so)";
            return {};
        },
        "", "");
}

} // namespace

ParameterSetting parseSetting(const std::string& text)
{
    const size_t at = text.rfind('=');
    if (at == std::string::npos || at == 0)
        throw UsageError("bad --set \"" + text + "\" (expected PARAMETER=VALUE, e.g. 0=0.5 or \"PreGain=0.75\")");
    ParameterSetting setting{text.substr(0, at), 0.0f};
    const double value = parseNumber(text.substr(at + 1), "--set value");
    if (value < 0.0 || value > 1.0)
        throw UsageError("bad --set \"" + text + "\": values run from 0 to 1");
    setting.value = static_cast<float>(value);
    return setting;
}

ParameterSetting parseUnitSetting(const std::string& text, const std::string& example)
{
    const size_t at = text.rfind('=');
    if (at == std::string::npos || at == 0)
        throw UsageError("bad --set \"" + text + "\" (expected PARAMETER=VALUE, e.g. " + example + ")");
    return {text.substr(0, at), static_cast<float>(parseNumber(text.substr(at + 1), "--set value"))};
}

ControlChange parseControlChange(const std::string& text)
{
    const std::vector<std::string> parts = split(text, ':');
    if (parts.size() < 3 || parts.size() > 4)
        throw UsageError("bad --cc \"" + text + "\" (expected SECONDS:CONTROLLER:VALUE[:CHANNEL], e.g. 1.5:70:100)");
    ControlChange change;
    change.seconds = parseNumber(parts[0], "--cc time");
    if (change.seconds < 0.0)
        throw UsageError("bad --cc \"" + text + "\": the time cannot be negative");
    change.controller = parseInteger(parts[1], "--cc controller", 0, 127);
    change.value = parseInteger(parts[2], "--cc value", 0, 127);
    if (parts.size() == 4)
        change.channel = parseInteger(parts[3], "--cc channel", 1, 16);
    return change;
}

uint64_t frameAt(double seconds, int32_t sampleRate)
{
    return static_cast<uint64_t>(std::llround(seconds * sampleRate));
}

CLI::Option* addRateOption(CLI::App& command, int32_t& rate, const std::string& help)
{
    return command.add_option("--rate", rate, help)->type_name("HZ")->check(sampleRateCheck());
}

void addRenderOptions(CLI::App& render, RenderOptions& options, int32_t maxChannels)
{
    addValue(render, "-i,--input", options.input, "FILE",
             "the audio file to process (.wav, .flac, .aif, .aiff, ...); the render runs at its rate");
    addValue(render, "--generate", options.generate, "KIND",
             "a test signal instead: sine (220 Hz, -6 dBFS), noise (-12 dBFS peak), sweep (20 Hz-20 kHz, -6 dBFS)")
        ->check(oneOf({"sine", "noise", "sweep"}, "sine, noise or sweep"));
    render.add_option("--seconds", options.seconds, "length of the generated signal (default 5, at most 86400)")
        ->type_name("S")
        ->check(numberWhere([](double s) { return s > 0.0 && s <= 24.0 * 3600.0; }, "more than 0 and at most a day"));
    render
        .add_option("--channels", options.channels,
                    "channels of the generated signal, 1 to " + std::to_string(maxChannels) + " (default 2)")
        ->type_name("N")
        ->check(wholeNumberIn(1, maxChannels));
    addRateOption(render, options.sampleRate, "sample rate of the generated signal, a whole number of Hz (default 48000)");
    addValue(render, "-o,--output", options.output, "FILE",
             "the file to write: .wav, .flac, .aif or .aiff (a WAV past 4 GB is written as RF64)");
    addValue(render, "--format", options.formatName, "F", "sample format: pcm16, pcm24 or float (default below)")
        ->check(oneOf({"pcm16", "pcm24", "float"}, "pcm16, pcm24 or float"));
    render.add_option("--block", options.blockSize, "frames per processing block, 1 to 65536 (default 512)")
        ->type_name("N")
        ->check(wholeNumberIn(1, 1 << 16));
    addRepeatable(render, "--cc", options.controlChangeTexts, "S:CC:VALUE[:CH]",
                  "a MIDI control change at S seconds, controller 0-127, value 0-127, channel 1-16 (default 1)");
    render.add_option("--tail", options.tailSeconds, "silence fed after the input so reverbs and filters ring out (default 0, at most 3600)")
        ->type_name("SECONDS")
        ->check(numberWhere([](double s) { return s >= 0.0 && s <= 3600.0; }, "from 0 to 3600 seconds"));
}

void finishRenderOptions(const ToolCommandLine& line, const std::string& command, RenderOptions& options)
{
    if (options.input.empty() == options.generate.empty())
        throw UsageError("render needs either -i INPUT or --generate KIND");
    if (!options.input.empty() &&
        (line.given(command, "--rate") || line.given(command, "--seconds") || line.given(command, "--channels")))
        throw UsageError("--rate, --seconds and --channels apply to generated signals; an input file has its own");
    if (options.output.empty())
        throw UsageError("render needs -o OUTPUT");
    const std::optional<Container> container = containerFor(options.output);
    if (!container)
        throw UsageError("unknown output format for " + options.output + " (use .wav, .flac, .aif or .aiff)");
    if (!options.formatName.empty())
        options.format = parseSampleFormat(options.formatName);
    if (options.format && !canHold(*container, *options.format))
        throw UsageError(std::string(containerName(*container)) + " cannot hold " + sampleFormatName(*options.format) +
                         " samples (use --format pcm16 or pcm24, or a .wav or .aiff output)");
    for (const std::string& text : options.controlChangeTexts)
        options.controlChanges.push_back(parseControlChange(text));
}

std::unique_ptr<AudioSource> openRenderSource(const RenderOptions& options, std::optional<SampleFormat>& inputFormat)
{
    if (options.input.empty())
        return std::make_unique<TestSignal>(options.generate, options.seconds, options.channels, options.sampleRate);
    auto reader = std::make_unique<SoundFileReader>(options.input);
    inputFormat = reader->sampleFormat();
    return reader;
}
