#include "tools/kit/HostOptions.h"

#include "tools/kit/ArgumentParser.h"
#include "tools/kit/SoundFile.h"
#include "tools/kit/SoundFileReader.h"
#include "tools/kit/TestSignal.h"

#include <vector>

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

std::optional<SampleFormat> formatOption(const ParsedArguments& arguments)
{
    if (!arguments.has("--format"))
        return std::nullopt;
    const std::optional<SampleFormat> format = parseSampleFormat(arguments.value("--format"));
    if (!format)
        throw UsageError("bad --format \"" + arguments.value("--format") + "\" (expected pcm16, pcm24 or float)");
    return format;
}

void checkDurations(double seconds, double tailSeconds)
{
    if (tailSeconds < 0.0 || tailSeconds > 3600.0)
        throw UsageError("bad --tail: from 0 to 3600 seconds");
    if (seconds <= 0.0 || seconds > 24.0 * 3600.0)
        throw UsageError("bad --seconds: more than 0 and at most a day");
}

void checkRenderTarget(const ParsedArguments& arguments, const std::string& input, const std::string& generate,
                       const std::string& output, std::optional<SampleFormat> format)
{
    if (input.empty() == generate.empty())
        throw UsageError("render needs either -i INPUT or --generate KIND");
    if (!generate.empty() && !TestSignal::isKind(generate))
        throw UsageError("bad --generate \"" + generate + "\" (expected sine, noise or sweep)");
    if (!input.empty() && (arguments.has("--rate") || arguments.has("--seconds") || arguments.has("--channels")))
        throw UsageError("--rate, --seconds and --channels apply to generated signals; an input file has its own");
    if (output.empty())
        throw UsageError("render needs -o OUTPUT");
    const std::optional<Container> container = containerFor(output);
    if (!container)
        throw UsageError("unknown output format for " + output + " (use .wav, .flac, .aif or .aiff)");
    if (format && !canHold(*container, *format))
        throw UsageError(std::string(containerName(*container)) + " cannot hold " + sampleFormatName(*format) +
                         " samples (use --format pcm16 or pcm24, or a .wav or .aiff output)");
}

std::unique_ptr<AudioSource> openRenderSource(const std::string& input, const std::string& generate, double seconds,
                                              int32_t channels, int32_t sampleRate,
                                              std::optional<SampleFormat>& inputFormat)
{
    if (input.empty())
        return std::make_unique<TestSignal>(generate, seconds, channels, sampleRate);
    auto reader = std::make_unique<SoundFileReader>(input);
    inputFormat = reader->sampleFormat();
    return reader;
}

OptionDescription generateOption()
{
    return {"--generate", "", "KIND", "a test signal instead: sine (220 Hz, -6 dBFS), noise (-12 dBFS peak), sweep (20 Hz-20 kHz, -6 dBFS)"};
}

OptionDescription secondsOption()
{
    return {"--seconds", "", "S", "length of the generated signal (default 5, at most 86400)"};
}

OptionDescription renderOutputOption()
{
    return {"--output", "-o", "FILE", "the file to write: .wav, .flac, .aif or .aiff"};
}

OptionDescription controlChangeOption()
{
    return {"--cc", "", "S:CC:VALUE[:CH]", "a MIDI control change at S seconds, controller 0-127, value 0-127, channel 1-16 (default 1)",
            true};
}
