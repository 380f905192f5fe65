// Hosts load states and presets from their user-interface thread while the
// audio thread plays. Loading the very state the effect already holds must
// not change a single output sample: the audio thread hears the old state or
// the new one, never the defaults or a mixture on the way. One thread loads
// the same state over and over, the other processes 20,000 blocks and
// compares each with the steady state's block. Also run under
// ThreadSanitizer (scripts/tsan-check.sh).
#include "tests/support/TestHost.h"

#if DC_WITH_TOOLS
#include "tools/vsthost/EffectSession.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBlocks = 20000;
constexpr VstInt32 kFrames = 64;

using SetParameter = std::function<void(VstInt32, float)>;

// A state far from the defaults (a default in between would show), with both
// filters off so that a block's output depends on its input alone.
void setDistantState(const SetParameter& set)
{
    const float params[9] = {0.8f, 0.3f, 0.85f, 1.0f, 0.9f, 0.0f, 0.25f, 0.0f, 0.75f};
    for (VstInt32 i = 0; i < 9; ++i)
        set(i, params[i]);
    for (int p = 0; p < 128; ++p)
    {
        set(10, static_cast<float>(p));
        set(11, static_cast<float>((p * 37) % 128));
    }
}

// Processes the same input block after block through `process` while
// `reload` runs on another thread, and counts the blocks that differ from
// the first one.
struct Playback
{
    std::vector<float> inL, inR;

    Playback() : inL(kFrames), inR(kFrames)
    {
        for (int i = 0; i < kFrames; ++i)
        {
            inL[i] = 0.5f * std::sin(0.2f * static_cast<float>(i));
            inR[i] = 0.4f * std::sin(0.13f * static_cast<float>(i) + 1.0f);
        }
    }

    struct Result
    {
        int differing = 0;
        int reloads = 0;
    };

    Result run(const std::function<void(float**, float**, VstInt32)>& process, const std::function<void()>& reload)
    {
        std::vector<float> steadyL(kFrames), steadyR(kFrames), outL(kFrames), outR(kFrames);
        float* in[2] = {inL.data(), inR.data()};
        float* steady[2] = {steadyL.data(), steadyR.data()};
        float* out[2] = {outL.data(), outR.data()};
        process(in, steady, kFrames);

        std::atomic<bool> done{false};
        std::atomic<int> reloads{0};
        std::thread ui([&] {
            while (!done.load())
            {
                reload();
                ++reloads;
            }
        });
        // Let the loading begin before the blocks are counted.
        while (reloads.load() == 0)
            std::this_thread::yield();
        Result result;
        // Play at least kBlocks, and on until the other thread has loaded a
        // few times however the two threads were scheduled.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (int block = 0; block < kBlocks || (reloads.load() <= 10 && std::chrono::steady_clock::now() < until); ++block)
        {
            process(in, out, kFrames);
            if (std::memcmp(outL.data(), steadyL.data(), sizeof(float) * kFrames) != 0 ||
                std::memcmp(outR.data(), steadyR.data(), sizeof(float) * kFrames) != 0)
                ++result.differing;
        }
        done.store(true);
        ui.join();
        result.reloads = reloads.load();
        return result;
    }
};

TEST(ReloadWhilePlaying, TheSameChunkThroughTheRecordChangesNoBlock)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    ASSERT_NE(host.effect(), nullptr);
    setDistantState([&](VstInt32 i, float v) { host.setParameter(i, v); });
    std::vector<unsigned char> state = host.chunk();
    ASSERT_EQ(host.loadChunk(state), 1);

    Playback playback;
    const auto result = playback.run([&](float** in, float** out, VstInt32 frames) { host.processReplacing(in, out, frames); },
                                     [&] {
                                         std::vector<unsigned char> copy = state;
                                         host.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
                                     });
    EXPECT_EQ(result.differing, 0) << "of " << kBlocks << " blocks, during " << result.reloads << " loads";
    EXPECT_GT(result.reloads, 10);
}

#if DC_WITH_TOOLS
// The same with a program file, read and loaded by the command-line hosts'
// own preset code.
TEST(ReloadWhilePlaying, TheSameProgramFileThroughTheToolsPresetLoaderChangesNoBlock)
{
    EffectSession session(dc::TestHost::pluginPath(), 44100.0, kFrames);
    AEffect* effect = session.plugIn().getEffect();
    ASSERT_NE(effect, nullptr);
    setDistantState([&](VstInt32 i, float v) { effect->setParameter(effect, i, v); });
    const std::string path =
        (std::filesystem::temp_directory_path() / ("dc-reload-" + std::to_string(getpid()) + ".fxp")).string();
    session.savePreset(path, false);
    ASSERT_TRUE(session.loadPreset(path));

    Playback playback;
    const auto result = playback.run(
        [&](float** in, float** out, VstInt32 frames) { effect->processReplacing(effect, in, out, frames); },
        [&] { session.loadPreset(path); });
    std::filesystem::remove(path);
    EXPECT_EQ(result.differing, 0) << "of " << kBlocks << " blocks, during " << result.reloads << " loads";
    EXPECT_GT(result.reloads, 10);
}
#endif

} // namespace
