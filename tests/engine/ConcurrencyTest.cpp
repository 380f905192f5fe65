// Hosts call an effect from two threads at once: the audio thread processes
// blocks while the user-interface thread automates parameters, draws curve
// points, reads display texts and saves and loads the state. Run under
// ThreadSanitizer (scripts/tsan-check.sh) this shows unsynchronised sharing;
// in every build it checks that the audio stays sound meanwhile and that the
// state settles once the storm is over.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr VstInt32 kBlock = 256;
constexpr auto kStorm = std::chrono::milliseconds(500);

// Where the host delivers MIDI and parameter automation: some hosts (Ardour)
// apply both on the audio thread between blocks, others from the UI thread.
enum class Deliver
{
    FromUiThread,
    FromAudioThread,
};

const char* nameOf(Deliver d)
{
    return d == Deliver::FromUiThread ? "MidiAndAutomationFromUiThread" : "MidiAndAutomationFromAudioThread";
}

void PrintTo(Deliver d, std::ostream* os)
{
    *os << nameOf(d);
}

struct Block
{
    std::vector<float> inL, inR, outL, outR;
    Block() : inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            inL[i] = 0.8f * std::sin(0.031f * static_cast<float>(i));
            inR[i] = 0.6f * std::sin(0.047f * static_cast<float>(i) + 1.0f);
        }
    }
    void process(dc::TestHost& host)
    {
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        host.processReplacing(in, out, kBlock);
    }
    // The chain with parameters in 0..1 and curve points in 0..127 cannot leave
    // a small range; NaN or a blown-up filter would.
    bool sound() const
    {
        for (int i = 0; i < kBlock; ++i)
            if (!(std::fabs(outL[i]) <= 64.0f) || !(std::fabs(outR[i]) <= 64.0f))
                return false;
        return true;
    }
};

void sendControlChanges(dc::TestHost& host, std::mt19937& rng)
{
    // Three changes in one list, as hosts send a block's worth of events.
    VstMidiEvent midi[3]{};
    struct
    {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } list{3, 0, {}};
    for (int i = 0; i < 3; ++i)
    {
        midi[i].type = kVstMidiType;
        midi[i].byteSize = sizeof(VstMidiEvent);
        midi[i].midiData[0] = static_cast<char>(0xB0 | (rng() & 0x0F));
        midi[i].midiData[1] = static_cast<char>(70 + i);
        midi[i].midiData[2] = static_cast<char>(rng() % 128);
        list.events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    }
    host.dispatch(effProcessEvents, 0, 0, &list);
}

void automate(dc::TestHost& host, std::mt19937& rng)
{
    host.setParameter(static_cast<VstInt32>(rng() % 9), std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
}

class Concurrency : public ::testing::TestWithParam<Deliver>
{
protected:
    dc::TestHost host{dc::TestHost::pluginPath()};
};

TEST_P(Concurrency, AudioStaysSoundWhileAnotherThreadChangesEverything)
{
    ASSERT_NE(host.effect(), nullptr);
    const bool onAudio = GetParam() == Deliver::FromAudioThread;
    std::atomic<bool> stop{false};
    std::atomic<bool> audioStarted{false};
    std::atomic<int> blocks{0}, unsoundBlocks{0};

    std::thread audio([&] {
        std::mt19937 rng(11);
        Block block;
        while (!stop.load())
        {
            if (onAudio)
            {
                sendControlChanges(host, rng);
                automate(host, rng);
            }
            block.process(host);
            if (!block.sound())
                ++unsoundBlocks;
            ++blocks;
            audioStarted.store(true);
        }
    });

    std::mt19937 rng(29);
    std::vector<std::vector<unsigned char>> saved{host.chunk()};
    int uiCalls = 0, badChunks = 0, badDisplays = 0;
    while (!audioStarted.load())
        std::this_thread::yield();
    const auto end = std::chrono::steady_clock::now() + kStorm;
    while (std::chrono::steady_clock::now() < end)
    {
        ++uiCalls;
        switch (rng() % 5)
        {
        case 0:
            if (!onAudio)
                automate(host, rng);
            break;
        case 1:
            host.setParameter(10, static_cast<float>(rng() % 128));
            host.setParameter(11, static_cast<float>(rng() % 128));
            break;
        case 2:
            if (!onAudio)
                sendControlChanges(host, rng);
            break;
        case 3:
            for (VstInt32 i = 0; i < 9; ++i)
                if (host.text(effGetParamDisplay, i).size() > 9)
                    ++badDisplays;
            (void)host.getParameter(static_cast<VstInt32>(rng() % 12));
            break;
        default:
        {
            auto c = host.chunk();
            if (c.size() != 564)
                ++badChunks;
            else if (saved.size() < 16)
                saved.push_back(c);
            if (host.loadChunk(saved[rng() % saved.size()]) != 1)
                ++badChunks;
            break;
        }
        }
    }
    stop.store(true);
    audio.join();

    EXPECT_GT(blocks.load(), 10);
    EXPECT_GT(uiCalls, 10);
    EXPECT_EQ(unsoundBlocks.load(), 0);
    EXPECT_EQ(badChunks, 0);
    EXPECT_EQ(badDisplays, 0);
}

TEST_P(Concurrency, StateSettlesToTheLoadedChunkOnceTheThreadsStop)
{
    ASSERT_NE(host.effect(), nullptr);
    const bool onAudio = GetParam() == Deliver::FromAudioThread;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::mt19937 rng(5);
        Block block;
        while (!stop.load())
        {
            if (onAudio)
            {
                sendControlChanges(host, rng);
                automate(host, rng);
            }
            block.process(host);
        }
    });
    std::mt19937 rng(17);
    const auto end = std::chrono::steady_clock::now() + kStorm / 4;
    while (std::chrono::steady_clock::now() < end)
    {
        if (!onAudio)
            automate(host, rng);
        host.setParameter(10, static_cast<float>(rng() % 128));
        host.setParameter(11, static_cast<float>(rng() % 128));
    }
    stop.store(true);
    audio.join();

    // A state with both filters off, so filter history plays no part.
    dc::TestHost reference(dc::TestHost::pluginPath());
    const float params[9] = {0.8f, 0.3f, 0.7f, 1.0f, 0.9f, 0.0f, 0.25f, 0.0f, 0.75f};
    for (VstInt32 i = 0; i < 9; ++i)
        reference.setParameter(i, params[i]);
    for (int p = 0; p < 128; ++p)
    {
        reference.setParameter(10, static_cast<float>(p));
        reference.setParameter(11, static_cast<float>((p * 37) % 128));
    }
    const auto state = reference.chunk();
    ASSERT_EQ(host.loadChunk(state), 1);
    EXPECT_EQ(host.chunk(), state);

    Block mine, theirs;
    mine.process(host);
    theirs.process(reference);
    EXPECT_EQ(0, std::memcmp(mine.outL.data(), theirs.outL.data(), kBlock * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(mine.outR.data(), theirs.outR.data(), kBlock * sizeof(float)));
}

INSTANTIATE_TEST_SUITE_P(Hosts, Concurrency, ::testing::Values(Deliver::FromUiThread, Deliver::FromAudioThread),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

} // namespace
