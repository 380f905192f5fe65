#include "tools/vsthost/CommandLine.h"

#include "tools/kit/ToolCommandLine.h"

#include <filesystem>

#ifndef DC_VERSION
#define DC_VERSION "unknown"
#endif

namespace
{

void addPresetAndSettings(CLI::App& command, CommandLine& line)
{
    addValue(command, "-p,--preset", line.preset, "FILE", "load an .fxp program or .fxb bank first");
    addRepeatable(command, "--set", line.settingTexts, "PARAM=VALUE",
                  "set a parameter (index or name) to VALUE, 0 to 1, after the preset");
}

void addQuiet(CLI::App& command, CommandLine& line)
{
    addFlag(command, "-q,--quiet", line.quiet, "print nothing on stdout and no progress bar (warnings and errors still go to stderr)");
}

} // namespace

ToolCommandLinePtr CommandLine::describe(CommandLine& line)
{
    ToolCommandLinePtr tool(new ToolCommandLine(
        "vsthost", DC_VERSION,
        "vsthost hosts a VST 2.4 effect on the command line: it lists the effect's parameters and programs,\n"
        "renders audio files through it and saves its state as a preset.",
        "EFFECT is a VST 2.4 effect: a shared library (.so) or a bundle folder.\n"
        "Exit status: 0 success, 1 a bad file or effect, 2 a bad argument.\n"));

    CLI::App& info = tool->addCommand(
        "info",
        {"EFFECT [--preset FILE] [--set PARAM=VALUE]... [--rate HZ] [--raw]",
         "Lists the effect's identity, its parameters (index, name, value, display text, label) and its programs.",
         "With --preset or --set, the listed values are the ones they give.\n"
         "Without --raw, display texts, labels and names are shown without surrounding spaces.\n"},
        "effect");
    info.add_option("EFFECT", line.effect);
    addPresetAndSettings(info, line);
    addRateOption(info, line.render.sampleRate, "sample rate the effect is opened at, a whole number of Hz (default 48000)");
    addFlag(info, "--raw", line.raw, "show display texts and labels exactly as the effect gives them, in quotes");

    CLI::App& render = tool->addCommand(
        "render",
        {"EFFECT (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels N] [--rate HZ])\n"
         "-o OUTPUT [--format pcm16|pcm24|float] [--block N] [--preset FILE] [--set PARAM=VALUE]...\n"
         "[--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]... [--tail SECONDS] [--quiet]",
         "Runs an audio file or a generated signal through the effect, block by block, and writes the result.",
         "Default sample format: the input file's own (8- and 16-bit: pcm16, 24-bit: pcm24, anything else: float);\n"
         "float for generated signals. FLAC holds no float samples: there the default is pcm24 and --format float is\n"
         "refused. AIFF is written as plain AIFF for pcm16/pcm24 and as AIFF-C for float, and holds at most 4 GB.\n"
         "Integer formats clip at full scale; vsthost warns with the number of clipped samples.\n"
         "Channels: input channel N feeds effect input N; a mono input feeds every input. Input channels beyond the\n"
         "effect's inputs are left out (with a warning). The output has the effect's output count of channels.\n"
         "The output is written to a file without a name and given its name only when the render succeeds; an\n"
         "interrupted or failed render leaves nothing behind and an existing file as it was. An output that is the\n"
         "input (or the preset or the effect), also through a link, is refused.\n"
         "Control changes at or after the end (input plus tail) are not sent; vsthost warns about each.\n"},
        "effect");
    render.add_option("EFFECT", line.effect);
    addRenderOptions(render, line.render, 32);
    addPresetAndSettings(render, line);
    addQuiet(render, line);

    CLI::App& save = tool->addCommand(
        "save",
        {"EFFECT -o OUTPUT.fxp|OUTPUT.fxb [--preset FILE] [--set PARAM=VALUE]... [--name NAME] [--bank] [--quiet]",
         "Writes the effect's state as a program (.fxp: the current program) or a bank (.fxb: all programs).",
         "The preset is loaded first, then the --set values are applied and the program named, then the state is\n"
         "written.\n"},
        "effect");
    save.add_option("EFFECT", line.effect);
    addValue(save, "-o,--output", line.render.output, "FILE", "the preset to write; the extension chooses program or bank");
    addPresetAndSettings(save, line);
    addValue(save, "--name", line.programName, "NAME", "the name of the program written (the current program in a bank), at most 24 characters");
    addFlag(save, "--bank", line.bank, "insist on a bank (the output must end in .fxb)");
    addQuiet(save, line);

    CLI::App& edit = tool->addCommand(
        "edit",
        {"EFFECT [--preset FILE] [--set PARAM=VALUE]... [--save OUTPUT.fxp|OUTPUT.fxb] [--quiet]",
         "Opens the effect's editor in a window of its own and plays a test signal through the effect while it is\n"
         "open; prints the parameter changes and gestures the effect reports. Close the window to finish.",
         "Needs an X display (DISPLAY). The preset is loaded before the window opens; a preset that does not\n"
         "load ends the command with an error and writes nothing. The signal (220 Hz at -6 dBFS, 48000 Hz) is\n"
         "processed and dropped, so that the editor shows where the curve is being used.\n"},
        "effect");
    edit.add_option("EFFECT", line.effect);
    addPresetAndSettings(edit, line);
    addValue(edit, "--save", line.saveOnClose, "FILE", "when the window closes, write the state as a program (.fxp) or bank (.fxb)");
    addQuiet(edit, line);
    return tool;
}

void CommandLine::finish(const ToolCommandLine& parser, const std::string& name)
{
    command = name == "render" ? Command::render : name == "save" ? Command::save : name == "edit" ? Command::edit : Command::info;
    if (parser.given(name, "--rate"))
        sampleRate = render.sampleRate;
    for (const std::string& text : settingTexts)
        settings.push_back(parseSetting(text));
    if (command == Command::render)
        finishRenderOptions(parser, name, render);
    if (command == Command::edit && !saveOnClose.empty())
    {
        const std::string extension = std::filesystem::path(saveOnClose).extension().string();
        if (extension != ".fxp" && extension != ".fxb")
            throw UsageError("--save writes .fxp (program) or .fxb (bank) files, not \"" + saveOnClose + "\"");
        bank = extension == ".fxb";
    }
    if (command == Command::save)
    {
        const std::string& output = render.output;
        if (output.empty())
            throw UsageError("save needs -o OUTPUT.fxp or OUTPUT.fxb");
        const std::string extension = std::filesystem::path(output).extension().string();
        if (extension == ".fxb")
            bank = true;
        else if (extension != ".fxp" || bank)
            throw UsageError("save writes .fxp (program) or .fxb (bank) files, not \"" + output + "\"");
        // The record's name field holds 24 characters.
        if (programName.size() > 24)
            throw UsageError("bad --name \"" + programName + "\": program names hold at most 24 characters");
    }
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    const ToolCommandLinePtr parser = describe(line);
    const ToolCommandLine::Outcome outcome = parser->parse(arguments);
    if (outcome.command.empty() || outcome.help || outcome.version)
        throw UsageError("no command given");
    line.finish(*parser, outcome.command);
    return line;
}
