#include "tools/vsthost/VSTEdit.h"

#include "auadapter/TwinfoldException.h"
#include "tools/kit/EditorGestures.h"
#include "tools/kit/EditorWindow.h"
#include "tools/kit/Interruption.h"
#include "tools/kit/ToolMain.h"
#include "tools/vsthost/EffectSession.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

constexpr double kSampleRate = 48000.0;
constexpr int32_t kBlock = 512;
constexpr double kTick = 0.03; // seconds between idle calls, about what Ardour gives
constexpr double kToneHz = 200.0;
constexpr int32_t kFallbackWidth = 400, kFallbackHeight = 300;

// Prints what the effect tells the host, with its names and display texts.
class Printer final : public ToolHostObserver
{
public:
    Printer(VSTPlugIn& plugIn, EditorWindow& window, bool quiet) : plugIn(plugIn), window(window), quiet(quiet) {}

    void parameterAutomated(int32_t index, float value) override
    {
        if (quiet)
            return;
        char display[256] = {}, label[256] = {};
        if (index >= 0 && index < plugIn.getParameterCount())
        {
            plugIn.getParameterDisplay(index, display);
            plugIn.getParameterLabel(index, label);
        }
        std::printf("%s = %.4f (%s%s%s)\n", name(index).c_str(), value, trimmed(display).c_str(), *label ? " " : "",
                    trimmed(label).c_str());
        std::fflush(stdout);
    }
    void gestureBegun(int32_t index) override { say(index, "begin"); }
    void gestureEnded(int32_t index) override { say(index, "end"); }
    void displayChanged() override
    {
        if (quiet)
            return;
        std::printf("state changed (updateDisplay)\n");
        std::fflush(stdout);
    }
    void windowResized(int32_t width, int32_t height) override { window.resize(width, height); }

private:
    std::string name(int32_t index)
    {
        if (index < 0 || index >= plugIn.getParameterCount())
            return gestureName(static_cast<uint32_t>(plugIn.getEffect()->uniqueID), index);
        char text[256] = {};
        plugIn.getParameterName(index, text);
        return trimmed(text);
    }
    static std::string trimmed(const char* text)
    {
        std::string s(text);
        const size_t first = s.find_first_not_of(' ');
        if (first == std::string::npos)
            return {};
        return s.substr(first, s.find_last_not_of(' ') - first + 1);
    }
    void say(int32_t index, const char* what)
    {
        if (quiet)
            return;
        std::printf("%s: %s\n", name(index).c_str(), what);
        std::fflush(stdout);
    }

    VSTPlugIn& plugIn;
    EditorWindow& window;
    bool quiet;
};

} // namespace

int runVSTEdit(const CommandLine& line)
{
    EffectSession session(line.effect, kSampleRate, kBlock);
    VSTPlugIn& plugIn = session.plugIn();
    if (!plugIn.hasEditor())
        throw EffectError("the effect " + line.effect + " has no editor");
    // The state first: a file that does not load ends here, before any window.
    if (!line.preset.empty() && !session.loadPreset(line.preset))
        printWarning("preset " + line.preset + " was applied with adjustments (it does not fit the effect exactly)");
    for (const ParameterSetting& setting : line.settings)
        session.apply(setting);

    int32_t width = 0, height = 0;
    plugIn.getEditorDimensions(width, height);
    if (width <= 0 || height <= 0)
    {
        width = kFallbackWidth;
        height = kFallbackHeight;
    }
    char effectName[256] = {};
    plugIn.dispatch(effGetEffectName, 0, 0, effectName, 0.0f);
    EditorWindow window(std::string("vsthost: ") + (*effectName ? effectName : line.effect.c_str()), width, height);
    Printer printer(plugIn, window, line.quiet);
    session.host().setObserver(&printer);
    plugIn.resume();
    try
    {
        plugIn.openEditor(reinterpret_cast<void*>(window.window()));
    }
    catch (const TwinfoldException&)
    {
        session.host().setObserver(nullptr);
        throw EffectError("the effect " + line.effect + " could not open its editor");
    }
    window.show();
    if (!line.quiet)
    {
        std::printf("editing %s (%d x %d); close the window to finish\n", line.effect.c_str(), width, height);
        std::fflush(stdout);
    }

    // Ctrl-C and SIGTERM close the window as the window manager would.
    const InterruptionGuard guard;
    // A test signal keeps the effect busy, so the editor shows the curve in use.
    // A 200 Hz sine: a tick holds whole periods, so each tick ends at the same
    // level and the highlight stands still while nobody touches the window.
    // One second of it is computed once and played round.
    const int32_t framesPerTick = static_cast<int32_t>(kSampleRate * kTick);
    static_assert(static_cast<int32_t>(kSampleRate * kTick) % static_cast<int32_t>(kSampleRate / kToneHz) == 0);
    const auto period = static_cast<size_t>(kSampleRate);
    std::vector<float> sine(period + static_cast<size_t>(framesPerTick));
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * kToneHz * static_cast<double>(i % period) / kSampleRate));
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    float* outputs[] = {outLeft.data(), outRight.data()};
    size_t offset = 0;
    double position = 0.0;
    bool stop = false;
    window.run(kTick, [&] {
        if (interruptionRequested())
            stop = true;
        // The tick's frames in blocks of at most the size the effect was told.
        for (int32_t done = 0; done < framesPerTick;)
        {
            const int32_t frames = std::min(kBlock, framesPerTick - done);
            float* inputs[] = {sine.data() + offset, sine.data() + offset};
            session.host().setPosition(position, kSampleRate);
            plugIn.processReplacing(inputs, outputs, frames);
            position += frames;
            offset = (offset + static_cast<size_t>(frames)) % period;
            done += frames;
        }
        plugIn.idle();
    }, &stop);

    plugIn.closeEditor();
    session.host().setObserver(nullptr);
    plugIn.suspend();
    if (!line.saveOnClose.empty())
    {
        session.savePreset(line.saveOnClose, line.bank);
        if (!line.quiet)
            std::printf("wrote %s %s\n", line.bank ? "bank" : "program", line.saveOnClose.c_str());
    }
    return ExitStatus::success;
}
