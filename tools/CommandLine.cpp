#include "tools/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace
{

double parseNumber(const std::string& text, const std::string& what)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw UsageError("bad " + what + ": \"" + text + "\" is not a number");
    return value;
}

int32_t parseInteger(const std::string& text, const std::string& what, int32_t lowest, int32_t highest)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < lowest || value > highest)
        throw UsageError("bad " + what + ": \"" + text + "\" (expected a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ")");
    return static_cast<int32_t>(value);
}

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

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    if (arguments.empty() || arguments[0] == "help" || arguments[0] == "--help" || arguments[0] == "-h")
        return line;
    const std::string& command = arguments[0];
    if (command == "info")
        line.command = Command::info;
    else if (command == "render")
        line.command = Command::render;
    else if (command == "save")
        line.command = Command::save;
    else
        throw UsageError("unknown command \"" + command + "\" (expected info, render or save)");

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
            line.seconds = parseNumber(valueOf(i), "--seconds");
            secondsGiven = true;
        }
        else if (a == "--channels")
            line.channels = parseInteger(valueOf(i), "--channels", 1, 32);
        else if (a == "--rate")
            line.sampleRate = parseNumber(valueOf(i), "--rate");
        else if (a == "--block")
            line.blockSize = parseInteger(valueOf(i), "--block", 1, 1 << 16);
        else if (a == "--tail")
            line.tailSeconds = parseNumber(valueOf(i), "--tail");
        else if (a == "-p" || a == "--preset")
            line.preset = valueOf(i);
        else if (a == "--set")
            line.settings.push_back(parseSetting(valueOf(i)));
        else if (a == "--cc")
            line.controlChanges.push_back(parseControlChange(valueOf(i)));
        else if (a == "--bank")
            line.bank = true;
        else if (a == "-q" || a == "--quiet")
            line.quiet = true;
        else if (!a.empty() && a[0] == '-')
            throw UsageError("unknown option " + a);
        else if (line.effect.empty())
            line.effect = a;
        else
            throw UsageError("unexpected argument \"" + a + "\"");
    }

    if (line.effect.empty())
        throw UsageError("no effect given");
    if (line.sampleRate && (*line.sampleRate < 1000.0 || *line.sampleRate > 768000.0))
        throw UsageError("bad --rate: sample rates run from 1000 to 768000 Hz");
    if (line.tailSeconds < 0.0 || line.tailSeconds > 3600.0)
        throw UsageError("bad --tail: from 0 to 3600 seconds");
    if (line.seconds <= 0.0 || line.seconds > 24.0 * 3600.0)
        throw UsageError("bad --seconds: more than 0 and at most a day");

    if (line.command == Command::render)
    {
        if (line.input.empty() == line.generate.empty())
            throw UsageError("render needs either -i INPUT or --generate KIND");
        if (!line.generate.empty() && line.generate != "sine" && line.generate != "noise" && line.generate != "sweep")
            throw UsageError("bad --generate \"" + line.generate + "\" (expected sine, noise or sweep)");
        if (!line.input.empty() && (line.sampleRate || secondsGiven))
            throw UsageError("--rate and --seconds apply to generated signals; an input file has its own");
        if (line.output.empty())
            throw UsageError("render needs -o OUTPUT");
    }
    if (line.command == Command::save)
    {
        if (line.output.empty())
            throw UsageError("save needs -o OUTPUT.fxp or OUTPUT.fxb");
        const std::string extension = std::filesystem::path(line.output).extension().string();
        if (extension == ".fxb")
            line.bank = true;
        else if (extension != ".fxp" || line.bank)
            throw UsageError("save writes .fxp (program) or .fxb (bank) files, not \"" + line.output + "\"");
    }
    if (line.command == Command::info && (!line.output.empty() || !line.input.empty()))
        throw UsageError("info takes no input or output");
    return line;
}

const char* CommandLine::usage()
{
    return "usage:\n"
           "  vsthost info EFFECT\n"
           "  vsthost render EFFECT (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels N] [--rate HZ])\n"
           "                 -o OUTPUT [--block N] [--preset FILE.fxp|FILE.fxb] [--set PARAM=VALUE]...\n"
           "                 [--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]... [--tail SECONDS] [--quiet]\n"
           "  vsthost save EFFECT -o OUTPUT.fxp|OUTPUT.fxb [--preset FILE] [--set PARAM=VALUE]...\n"
           "\n"
           "EFFECT is a VST 2.4 effect: a shared library (.so) or a bundle folder.\n"
           "PARAM is a parameter's index or its name; VALUE runs from 0 to 1.\n"
           "Audio files: .wav, .flac, .aif, .aiff (libsndfile). The effect runs at the input's sample rate.\n"
           "A preset is loaded first, then the --set values are applied.\n";
}
