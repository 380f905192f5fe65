#include "tools/vsthost/CommandLine.h"

#include <cmath>
#include <filesystem>

#ifndef DC_VERSION
#define DC_VERSION "unknown"
#endif

namespace
{

const OptionDescription kPreset{"--preset", "-p", "FILE", "load an .fxp program or .fxb bank first"};
const OptionDescription kSet{"--set", "", "PARAM=VALUE", "set a parameter (index or name) to VALUE, 0 to 1, after the preset", true};
const OptionDescription kRate{"--rate", "", "HZ", "sample rate, a whole number of Hz (default 48000)"};
const OptionDescription kQuiet{"--quiet", "-q", "", "print nothing on stdout and no progress bar (warnings and errors still go to stderr)"};

ToolDescription vsthostDescription()
{
    ToolDescription tool;
    tool.name = "vsthost";
    tool.version = DC_VERSION;
    tool.summary = "vsthost hosts a VST 2.4 effect on the command line: it lists the effect's parameters and programs,\n"
                   "renders audio files through it and saves its state as a preset.";
    tool.footer = "EFFECT is a VST 2.4 effect: a shared library (.so) or a bundle folder.\n"
                  "Exit status: 0 success, 1 a bad file or effect, 2 a bad argument.\n";

    CommandDescription info{"info", "EFFECT [--preset FILE] [--set PARAM=VALUE]... [--rate HZ] [--raw]",
                     "Lists the effect's identity, its parameters (index, name, value, display text, label) and its programs.",
                     {kPreset, kSet, kRate, {"--raw", "", "", "show display texts and labels exactly as the effect gives them, in quotes"}},
                     "With --preset or --set, the listed values are the ones they give.\n"
                     "Without --raw, display texts, labels and names are shown without surrounding spaces.\n"};
    CommandDescription render{
        "render",
        "EFFECT (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels N] [--rate HZ])\n"
        "-o OUTPUT [--format pcm16|pcm24|float] [--block N] [--preset FILE] [--set PARAM=VALUE]...\n"
        "[--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]... [--tail SECONDS] [--quiet]",
        "Runs an audio file or a generated signal through the effect, block by block, and writes the result.",
        {{"--input", "-i", "FILE", "the audio file to process (.wav, .flac, .aif, .aiff, ...); the effect runs at its rate"},
         generateOption(),
         secondsOption(),
         {"--channels", "", "N", "channels of the generated signal, 1 to 32 (default 2)"},
         kRate,
         renderOutputOption(),
         {"--format", "", "F", "sample format: pcm16, pcm24 or float (default below)"},
         {"--block", "", "N", "frames per processing block, 1 to 65536 (default 512)"},
         kPreset,
         kSet,
         controlChangeOption(),
         {"--tail", "", "SECONDS", "silence fed after the input so reverbs and filters ring out (default 0, at most 3600)"},
         kQuiet},
        "Default sample format: the input file's own (8- and 16-bit: pcm16, 24-bit: pcm24, anything else: float);\n"
        "float for generated signals. FLAC holds no float samples: there the default is pcm24 and --format float is\n"
        "refused. AIFF is written as plain AIFF for pcm16/pcm24 and as AIFF-C for float. Integer formats clip at\n"
        "full scale; vsthost warns with the number of clipped samples.\n"
        "Channels: input channel N feeds effect input N; a mono input feeds every input. Input channels beyond the\n"
        "effect's inputs are left out (with a warning). The output has the effect's output count of channels.\n"
        "The output is written to a temporary file beside it and moved into place only when the render succeeds;\n"
        "an output that is the input (or the preset or the effect), also through a link, is refused.\n"
        "Control changes at or after the end (input plus tail) are not sent; vsthost warns about each.\n"};
    CommandDescription save{"save", "EFFECT -o OUTPUT.fxp|OUTPUT.fxb [--preset FILE] [--set PARAM=VALUE]... [--bank] [--quiet]",
                     "Writes the effect's state as a program (.fxp: the current program) or a bank (.fxb: all programs).",
                     {{"--output", "-o", "FILE", "the preset to write; the extension chooses program or bank"},
                      kPreset,
                      kSet,
                      {"--bank", "", "", "insist on a bank (the output must end in .fxb)"},
                      kQuiet},
                     "The preset is loaded first, then the --set values are applied, then the state is written.\n"};
    CommandDescription edit{"edit", "EFFECT [--preset FILE] [--set PARAM=VALUE]... [--save OUTPUT.fxp|OUTPUT.fxb] [--quiet]",
                     "Opens the effect's editor in a window of its own and plays a test signal through the effect while it is\n"
                     "open; prints the parameter changes and gestures the effect reports. Close the window to finish.",
                     {kPreset,
                      kSet,
                      {"--save", "", "FILE", "when the window closes, write the state as a program (.fxp) or bank (.fxb)"},
                      kQuiet},
                     "Needs an X display (DISPLAY). The preset is loaded before the window opens; a preset that does not\n"
                     "load ends the command with an error and writes nothing. The signal (220 Hz at -6 dBFS, 48000 Hz) is\n"
                     "processed and dropped, so that the editor shows where the curve is being used.\n"};
    tool.commands = {info, render, save, edit};
    return tool;
}

std::optional<int32_t> sampleRateFrom(const ParsedArguments& arguments)
{
    if (!arguments.has("--rate"))
        return std::nullopt;
    const std::string text = arguments.value("--rate");
    const double rate = parseNumber(text, "--rate");
    if (rate < 1000.0 || rate > 768000.0)
        throw UsageError("bad --rate: sample rates run from 1000 to 768000 Hz", arguments.command);
    // Audio files store whole rates; the effect must run at the one written.
    if (rate != std::floor(rate))
        throw UsageError("bad --rate \"" + text + "\": sample rates are whole numbers of Hz (audio files store them so)",
                         arguments.command);
    return static_cast<int32_t>(rate);
}

} // namespace

const ArgumentParser& CommandLine::parser()
{
    static const ArgumentParser instance(vsthostDescription());
    return instance;
}

CommandLine CommandLine::from(const ParsedArguments& arguments)
{
    CommandLine line;
    const std::string& command = arguments.command;
    try
    {
        line.command = command == "render" ? Command::render
                       : command == "save" ? Command::save
                       : command == "edit" ? Command::edit
                                           : Command::info;
        line.effect = onePositional(arguments, "effect", "effect");
        line.input = arguments.value("--input");
        line.output = arguments.value("--output");
        line.generate = arguments.value("--generate");
        line.preset = arguments.value("--preset");
        line.saveOnClose = arguments.value("--save");
        line.bank = arguments.has("--bank");
        line.quiet = arguments.has("--quiet");
        line.raw = arguments.has("--raw");
        line.sampleRate = sampleRateFrom(arguments);
        if (arguments.has("--seconds"))
            line.seconds = parseNumber(arguments.value("--seconds"), "--seconds");
        if (arguments.has("--channels"))
            line.channels = parseInteger(arguments.value("--channels"), "--channels", 1, 32);
        if (arguments.has("--block"))
            line.blockSize = parseInteger(arguments.value("--block"), "--block", 1, 1 << 16);
        if (arguments.has("--tail"))
            line.tailSeconds = parseNumber(arguments.value("--tail"), "--tail");
        line.format = formatOption(arguments);
        for (const std::string& text : arguments.values("--set"))
            line.settings.push_back(parseSetting(text));
        for (const std::string& text : arguments.values("--cc"))
            line.controlChanges.push_back(parseControlChange(text));

        checkDurations(line.seconds, line.tailSeconds);

        if (line.command == Command::render)
            checkRenderTarget(arguments, line.input, line.generate, line.output, line.format);
        if (line.command == Command::edit && !line.saveOnClose.empty())
        {
            const std::string extension = std::filesystem::path(line.saveOnClose).extension().string();
            if (extension != ".fxp" && extension != ".fxb")
                throw UsageError("--save writes .fxp (program) or .fxb (bank) files, not \"" + line.saveOnClose + "\"");
            line.bank = extension == ".fxb";
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
    }
    catch (const UsageError& e)
    {
        throw UsageError(e.what(), command);
    }
    return line;
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parser().parse(arguments);
    if (parsed.command.empty() || parsed.help || parsed.version)
        throw UsageError("no command given");
    return from(parsed);
}
