// vsthost: a command-line host for VST 2.4 effects. Lists an effect's
// identity, parameters and programs; renders audio files through it; saves
// its state as FXP or FXB.
#include "tools/CommandLine.h"
#include "tools/EffectSession.h"
#include "tools/ProgressBar.h"
#include "tools/Renderer.h"
#include "tools/SoundFile.h"
#include "tools/TestSignal.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

constexpr int kFailure = 1;
constexpr int kBadUsage = 2;

std::string effectText(VSTPlugIn& plugIn, int32_t opcode)
{
    char text[256] = {};
    plugIn.dispatch(opcode, 0, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

void printLevels(const char* what, const AudioBuffer& audio)
{
    std::printf("%-6s %d ch, %zu frames at %.0f Hz: peak %.2f dBFS, RMS %.2f dBFS\n", what, audio.channels, audio.frames(),
                audio.sampleRate, toDecibels(audio.peak()), toDecibels(audio.rms()));
}

int info(const CommandLine& line)
{
    EffectSession session(line.effect, line.sampleRate.value_or(48000.0), line.blockSize);
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
    char name[25], label[25], display[25];
    for (int32_t i = 0; i < plugIn.getParameterCount(); ++i)
    {
        plugIn.getParameterName(i, name);
        plugIn.getParameterLabel(i, label);
        plugIn.getParameterDisplay(i, display);
        std::printf("  %3d  %-24s %8.4f  %s %s\n", i, name, plugIn.getParameter(i), display, label);
    }
    const int32_t current = plugIn.getCurrentProgram();
    std::printf("programs:   %d\n", plugIn.getProgramCount());
    for (int32_t i = 0; i < plugIn.getProgramCount(); ++i)
    {
        if (!plugIn.getProgramName(i, name))
        {
            if (i != current)
                continue;
            plugIn.getCurrentProgramName(name);
        }
        std::printf("  %3d  %s%s\n", i, name, i == current ? "  (current)" : "");
    }
    return 0;
}

void prepare(EffectSession& session, const CommandLine& line)
{
    if (!line.preset.empty() && !session.loadPreset(line.preset))
        std::fprintf(stderr, "vsthost: warning: preset %s was applied with adjustments (it does not fit the effect exactly)\n",
                     line.preset.c_str());
    for (const ParameterSetting& setting : line.settings)
        session.apply(setting);
}

int render(const CommandLine& line)
{
    if (!SoundFile::isWritableName(line.output))
        throw SoundFileError("unknown output format for " + line.output + " (use .wav, .flac, .aif or .aiff)");
    const AudioBuffer input = line.input.empty()
                                  ? generateSignal(line.generate, line.seconds, line.channels, line.sampleRate.value_or(48000.0))
                                  : SoundFile::read(line.input);
    EffectSession session(line.effect, input.sampleRate, line.blockSize);
    if (session.plugIn().getOutputCount() <= 0)
        throw EffectError("the effect has no audio outputs");
    prepare(session, line);
    if (!line.controlChanges.empty() && !session.plugIn().wantsMidi() && !line.quiet)
        std::fprintf(stderr, "vsthost: note: the effect did not ask for MIDI; control changes are sent anyway\n");

    session.plugIn().resume();
    Renderer renderer(session.plugIn(), session.host(), line.blockSize);
    ProgressBar bar(stderr, !line.quiet);
    const AudioBuffer output = renderer.render(input, line.controlChanges, line.tailSeconds, [&](double done) { bar.update(done); });
    bar.finish();
    session.plugIn().suspend();

    SoundFile::write(line.output, output);
    printLevels("input", input);
    printLevels("output", output);
    std::printf("wrote  %s\n", line.output.c_str());
    return 0;
}

int save(const CommandLine& line)
{
    EffectSession session(line.effect, line.sampleRate.value_or(48000.0), line.blockSize);
    prepare(session, line);
    session.savePreset(line.output, line.bank);
    std::printf("wrote %s %s\n", line.bank ? "bank" : "program", line.output.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine line;
    try
    {
        line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    }
    catch (const UsageError& e)
    {
        std::fprintf(stderr, "vsthost: %s\n\n%s", e.what(), CommandLine::usage());
        return kBadUsage;
    }
    try
    {
        switch (line.command)
        {
        case CommandLine::Command::help:
            std::fputs(CommandLine::usage(), stdout);
            return 0;
        case CommandLine::Command::info:
            return info(line);
        case CommandLine::Command::render:
            return render(line);
        case CommandLine::Command::save:
            return save(line);
        }
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "vsthost: %s\n", e.what());
        return kFailure;
    }
    return kFailure;
}
