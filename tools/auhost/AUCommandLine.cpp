#include "tools/auhost/AUCommandLine.h"

#include "tools/kit/ToolCommandLine.h"
#include "tools/kit/ToolMain.h"

#include <algorithm>
#include <filesystem>

#ifndef DC_VERSION
#define DC_VERSION "unknown"
#endif

namespace
{

const char* const kStart = "[--state FILE.aupreset] [--preset FILE] [--factory N] [--set PARAM=VALUE]...";

void addBundle(CLI::App& command, AUCommandLine& line)
{
    command.add_option("BUNDLE", line.bundle);
}

// The state the unit starts from: --state, --preset, --factory and --set.
void addStart(CLI::App& command, AUCommandLine& line)
{
    addValue(command, "--state", line.state, "FILE", "an .aupreset restored as the unit's state (ClassInfo) first");
    addValue(command, "-p,--preset", line.presetFile, "FILE",
             "a preset loaded next: an .aupreset, or an .fxp program or .fxb bank of the wrapped effect");
    command.add_option("--factory", line.factory, "a factory preset selected next (see auhost presets)")
        ->type_name("N")
        ->check(wholeNumberIn(0, 0x7FFFFFFF));
    addRepeatable(command, "--set", line.settingTexts, "PARAM=VALUE",
                  "a parameter by ID or name, VALUE in its AudioUnit units within its range (see auhost info)");
}

void addQuiet(CLI::App& command, AUCommandLine& line, const std::string& help)
{
    addFlag(command, "-q,--quiet", line.quiet, help);
}

bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

} // namespace

ToolCommandLinePtr AUCommandLine::describe(AUCommandLine& line)
{
    ToolCommandLinePtr tool(new ToolCommandLine(
        "auhost", DC_VERSION,
        "auhost hosts an AudioUnit component on the command line through the published AudioUnit calls:\n"
        "it lists the component's registration, buses and parameters, renders audio files through it, saves and\n"
        "restores its state as .aupreset files, lists its factory presets and converts VST presets.",
        "BUNDLE is an AudioUnit component bundle (for example build/au/DitherCrunch.component).\n"
        "Exit status: 0 success, 1 a bad file or component, 2 a bad argument.\n"));
    const std::string start = kStart;

    CLI::App& info = tool->addCommand(
        "info",
        {"BUNDLE",
         "Lists the registration, version, buses and stream formats, latency and the parameters (ID, name, unit,\n"
         "range, default, current value, flags and value names).",
         ""},
        "component bundle");
    addBundle(info, line);

    CLI::App& render = tool->addCommand(
        "render",
        {"BUNDLE (-i INPUT | --generate sine|noise|sweep [--seconds S] [--channels 1|2] [--rate HZ])\n"
         "-o OUTPUT [--format pcm16|pcm24|float] [--block N]\n" + start + "\n"
         "[--cc SECONDS:CONTROLLER:VALUE[:CHANNEL]]... [--tail SECONDS] [--quiet]",
         "Runs an audio file or a generated signal through the component, one render cycle per block, and writes the result.",
         "A mono input uses the unit's mono-in, stereo-out configuration; the output is always stereo.\n"
         "--block is also the unit's maximum slice. Formats as with vsthost render: the input's own by default,\n"
         "float for generated signals, pcm24 in FLAC; AIFF holds at most 4 GB.\n"
         "The output is written to a file without a name and given its name only when the render succeeds; an\n"
         "interrupted or failed render leaves nothing behind and an existing file as it was. An output that is\n"
         "the input, also through a link, is refused.\n"},
        "component bundle");
    addBundle(render, line);
    addRenderOptions(render, line.render, 2);
    addStart(render, line);
    addQuiet(render, line, "no progress bar and no summary");

    CLI::App& save = tool->addCommand(
        "save",
        {"BUNDLE -o NAME.aupreset " + start + "\n[--name NAME] [--quiet]",
         "Writes the unit's state (ClassInfo) as an .aupreset property list, after the changes given.",
         "The file is written without a name and given its name only when complete.\n"
         "Restore it with auhost render --state, or in any AudioUnit host as a preset of this component.\n"
         "VST presets (.fxp, .fxb) are written by vsthost save; auhost convert turns them into .aupreset files.\n"},
        "component bundle");
    addBundle(save, line);
    addValue(save, "-o,--output", line.output, "FILE", "the .aupreset file to write");
    addStart(save, line);
    addValue(save, "--name", line.programName, "NAME", "the name of the state written (the unit's current preset name)");
    addQuiet(save, line, "no summary");

    CLI::App& presets =
        tool->addCommand("presets", {"BUNDLE", "Lists the factory presets with their numbers (for --factory).", ""}, "component bundle");
    addBundle(presets, line);

    CLI::App& convert = tool->addCommand(
        "convert",
        {"BUNDLE [FILE.fxp|FILE.fxb|FOLDER]... [-o FOLDER] [--quiet]",
         "Converts VST presets (.fxp programs, .fxb banks) into .aupreset files, through the unit's own conversion,\n"
         "and lists what was written and what was skipped.",
         "With files or folders (a folder: the .fxp and .fxb files directly in it), each preset becomes an\n"
         ".aupreset beside it, or in the folder given with -o: a program NAME.fxp becomes NAME.aupreset, a bank\n"
         "NAME.fxb a folder NAME with one .aupreset per program.\n"
         "Without them, the unit converts its preset folders, Library/Audio/Presets/MANUFACTURER/PRODUCT under\n"
         "$HOME and under $TWINFOLD_LOCAL_DOMAIN (/ when unset), as it does whenever it opens; auhost says which\n"
         "folders it looked in. Existing files are never changed: a preset converted before is skipped.\n"},
        "component bundle");
    addBundle(convert, line);
    convert.add_option("SOURCES", line.sources);
    addValue(convert, "-o,--output", line.output, "FOLDER", "the folder the .aupreset files go to (made when missing)");
    addQuiet(convert, line, "no progress line");

    CLI::App& edit = tool->addCommand(
        "edit",
        {"BUNDLE " + start + "\n[--save OUTPUT.aupreset] [--quiet]",
         "Opens the unit's editor view in a window of its own, found through the unit's CocoaUI property, and\n"
         "renders a test signal through the unit while it is open; prints the parameter changes and gestures the\n"
         "host hears. Close the window to finish.",
         "Needs an X display (DISPLAY). A state that does not load ends the command with an error and writes\n"
         "nothing. The signal (220 Hz at -6 dBFS, 48000 Hz) is rendered and dropped, so that the editor shows\n"
         "where the curve is being used; the main event loop is pumped every 10 ms.\n"},
        "component bundle");
    addBundle(edit, line);
    addStart(edit, line);
    addValue(edit, "--save", line.saveOnClose, "FILE", "when the window closes, write the unit's state as an .aupreset");
    addQuiet(edit, line, "print no changes");
    return tool;
}

void AUCommandLine::finish(const ToolCommandLine& parser, const std::string& name)
{
    command = name;
    for (const std::string& text : settingTexts)
        settings.push_back(parseUnitSetting(text, R"(0=12.5 or "Pre Cut=0.25")"));
    // --preset took a factory preset's number before it took files.
    std::error_code ec;
    if (allDigits(presetFile) && !std::filesystem::exists(presetFile, ec))
    {
        if (parser.given(name, "--factory"))
            throw UsageError("--preset takes a preset file; give the factory preset once, with --factory N");
        printWarning("--preset takes a preset file now; factory preset " + presetFile + " is --factory " + presetFile +
                     " (taken as that)");
        factory = parseInteger(presetFile, "--preset", 0, 0x7FFFFFFF);
        presetFile.clear();
    }
    if (name == "render")
        finishRenderOptions(parser, name, render);
    if (name == "save")
    {
        if (output.empty())
            throw UsageError("save needs -o NAME.aupreset");
        if (std::filesystem::path(output).extension() != ".aupreset")
            throw UsageError("save writes .aupreset files, not \"" + output +
                             "\" (VST presets, .fxp and .fxb, are written by vsthost save)");
    }
    if (name == "edit" && !saveOnClose.empty() && std::filesystem::path(saveOnClose).extension() != ".aupreset")
        throw UsageError("--save writes .aupreset files, not \"" + saveOnClose + "\"");
}
