// vsthost: a command-line host for VST 2.4 effects. Lists an effect's
// identity, parameters and programs; renders audio through it block by
// block; saves its state as FXP or FXB.
#include "tools/kit/FileChecks.h"
#include "tools/kit/Interruption.h"
#include "tools/kit/ProgressBar.h"
#include "tools/kit/RenderReport.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/ToolMain.h"
#include "tools/vsthost/CommandLine.h"
#include "tools/vsthost/EffectSession.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VSTEdit.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{

std::string effectText(VSTPlugIn& plugIn, int32_t opcode)
{
    char text[256] = {};
    plugIn.dispatch(opcode, 0, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string shown(const char* text, bool raw)
{
    return raw ? "\"" + std::string(text) + "\"" : trimmed(text);
}

void prepare(EffectSession& session, const CommandLine& line)
{
    if (!line.preset.empty() && !session.loadPreset(line.preset))
        printWarning("preset " + line.preset + " was applied with adjustments (it does not fit the effect exactly)");
    for (const ParameterSetting& setting : line.settings)
        session.apply(setting);
}

int info(const CommandLine& line)
{
    EffectSession session(line.effect, line.sampleRate.value_or(48000), 512);
    prepare(session, line);
    VSTPlugIn& plugIn = session.plugIn();
    const AEffect& record = *plugIn.getEffect();
    std::printf("effect:     %s\n", std::filesystem::absolute(line.effect).c_str());
    std::printf("name:       %s\n", effectText(plugIn, effGetEffectName).c_str());
    std::printf("vendor:     %s\n", effectText(plugIn, effGetVendorString).c_str());
    std::printf("product:    %s\n", effectText(plugIn, effGetProductString).c_str());
    std::printf("version:    vendor %ld, effect %d, VST %ld\n", static_cast<long>(plugIn.dispatch(effGetVendorVersion, 0, 0, nullptr, 0.0f)),
                record.version, static_cast<long>(plugIn.getVersion()));
    std::printf("unique ID:  %s\n", session.uniqueIdText().c_str());
    std::printf("audio:      %d in, %d out, initial delay %d\n", plugIn.getInputCount(), plugIn.getOutputCount(), plugIn.getInitialDelay());
    std::printf("flags:      0x%X%s%s%s%s\n", static_cast<unsigned>(record.flags), plugIn.hasEditor() ? " editor" : "",
                plugIn.canProcessReplacing() ? " replacing" : "", plugIn.hasProgramChunks() ? " program-chunks" : "",
                plugIn.dontProcessSilence() ? " no-sound-in-stop" : "");
    std::printf("parameters: %d\n", plugIn.getParameterCount());
    // Effects may write past the 24 characters the format allows; leave room.
    char name[256], label[256], display[256];
    for (int32_t i = 0; i < plugIn.getParameterCount(); ++i)
    {
        name[0] = label[0] = display[0] = '\0';
        plugIn.getParameterName(i, name);
        plugIn.getParameterLabel(i, label);
        plugIn.getParameterDisplay(i, display);
        const std::string unit = shown(label, line.raw);
        std::printf("  %3d  %-24s %8.4f  %s%s%s\n", i, shown(name, line.raw).c_str(), plugIn.getParameter(i),
                    shown(display, line.raw).c_str(), unit.empty() ? "" : " ", unit.c_str());
    }
    const int32_t current = plugIn.getCurrentProgram();
    std::printf("programs:   %d\n", plugIn.getProgramCount());
    for (int32_t i = 0; i < plugIn.getProgramCount(); ++i)
    {
        name[0] = '\0';
        if (!plugIn.getProgramName(i, name))
        {
            if (i != current)
                continue;
            plugIn.getCurrentProgramName(name);
        }
        std::printf("  %3d  %s%s\n", i, shown(name, line.raw).c_str(), i == current ? "  (current)" : "");
    }
    return ExitStatus::success;
}

// Refuses to write over a file the render reads.
void checkOutputIsNew(const CommandLine& line)
{
    const std::string& output = line.render.output;
    const std::pair<const char*, const std::string*> read[] = {{"input", &line.render.input}, {"preset", &line.preset}, {"effect", &line.effect}};
    for (const auto& [what, path] : read)
        if (!path->empty() && isSameFile(output, *path))
            throw UsageError("the output " + output + " is the " + what + " " + *path + " (choose another output file)");
}

// "input channel 3 is" or "input channels 3 to 6 are".
std::string channelRange(const char* what, int32_t first, int32_t last)
{
    return first == last ? std::string(what) + " " + std::to_string(first) + " is"
                         : std::string(what) + "s " + std::to_string(first) + " to " + std::to_string(last) + " are";
}

void warnAboutChannels(int32_t sourceChannels, int32_t effectInputs)
{
    const std::string has = "the input has " + std::to_string(sourceChannels) + " channels, the effect " +
                            std::to_string(effectInputs) + (effectInputs == 1 ? " input" : " inputs");
    if (effectInputs == 0)
        printWarning("the effect has no audio inputs: the input only sets the length");
    else if (sourceChannels > effectInputs && sourceChannels > 1)
        printWarning(has + ": " + channelRange("input channel", effectInputs + 1, sourceChannels) + " left out");
    else if (sourceChannels > 1 && sourceChannels < effectInputs)
        printWarning(has + ": " + channelRange("effect input", sourceChannels + 1, effectInputs) + " fed silence");
}

int render(const CommandLine& line)
{
    const RenderOptions& options = line.render;
    checkOutputIsNew(line);
    std::optional<SampleFormat> inputFormat;
    const std::unique_ptr<AudioSource> source = openRenderSource(options, inputFormat);
    const int32_t rate = source->sampleRate();
    const Container container = *containerFor(options.output);
    const SampleFormat format = options.format.value_or(defaultSampleFormat(container, inputFormat));

    EffectSession session(line.effect, rate, options.blockSize);
    VSTPlugIn& plugIn = session.plugIn();
    if (plugIn.getOutputCount() <= 0)
        throw EffectError("the effect has no audio outputs");
    prepare(session, line);
    warnAboutChannels(source->channels(), plugIn.getInputCount());
    if (!options.controlChanges.empty() && !plugIn.wantsMidi() && !line.quiet)
        std::fprintf(stderr, "vsthost: note: the effect did not ask for MIDI; control changes are sent anyway\n");

    const uint64_t tailFrames = frameAt(options.tailSeconds, rate);
    const uint64_t total = source->frames() + tailFrames;
    warnAboutLateControlChanges(options.controlChanges, total, rate);

    const InterruptionGuard guard;
    const std::string untouched = outcomeWithoutOutput(options.output);
    SoundFileWriter writer(options.output, container, format, plugIn.getOutputCount(), rate, total);
    plugIn.resume();
    Renderer renderer(plugIn, session.host(), options.blockSize);
    ProgressBar bar(stderr, !line.quiet);
    const Renderer::Result result = renderer.render(*source, writer, options.controlChanges, tailFrames, [&](double done) {
        bar.update(done);
        throwIfInterrupted(untouched);
    });
    bar.finish();
    plugIn.suspend();
    writer.finish();

    if (result.inputFrames < source->frames())
        printWarning("the input ended after " + std::to_string(result.inputFrames) + " of the " + std::to_string(source->frames()) +
                     " frames its header announces");
    if (writer.clippedSamples() > 0)
    {
        char text[200];
        std::snprintf(text, sizeof(text), "%" PRIu64 " samples clipped at full scale: the effect's output peaks at %+.2f dBFS, %s holds at most 0 dBFS "
                                          "(--format float keeps the peaks)",
                      writer.clippedSamples(), toDecibels(result.output.peak()), sampleFormatName(format));
        printWarning(text);
    }
    if (result.output.notANumber() > 0)
        printWarning("the effect produced " + std::to_string(result.output.notANumber()) + " NaN samples" +
                     (format == SampleFormat::float32 ? " (written as they are)" : " (written as 0)"));
    if (!line.quiet)
    {
        printLevels("input", source->channels(), result.inputFrames, rate, result.input);
        printLevels("output", plugIn.getOutputCount(), result.outputFrames, rate, result.output);
        printWritten(options.output, container, writer.isRF64(), format);
    }
    return ExitStatus::success;
}

int save(const CommandLine& line)
{
    EffectSession session(line.effect, 48000, 512);
    prepare(session, line);
    if (!line.programName.empty())
        session.nameProgram(line.programName);
    session.savePreset(line.render.output, line.bank);
    if (!line.quiet)
        std::printf("wrote %s %s\n", line.bank ? "bank" : "program", line.render.output.c_str());
    return ExitStatus::success;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine line;
    const ToolCommandLinePtr parser = CommandLine::describe(line);
    return runTool(*parser, argc, argv, [&](const std::string& command) {
        line.finish(*parser, command);
        switch (line.command)
        {
        case CommandLine::Command::info:
            return info(line);
        case CommandLine::Command::render:
            return render(line);
        case CommandLine::Command::edit:
            return runVSTEdit(line);
        case CommandLine::Command::save:
            break;
        }
        return save(line);
    });
}
