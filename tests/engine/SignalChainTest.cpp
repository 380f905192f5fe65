// The built plug-in's audio against the literal model, bit for bit.
#include "tests/engine/ReferenceChain.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

uint32_t bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

class SignalChain : public ::testing::Test
{
protected:
    dc::TestHost host{dc::TestHost::pluginPath()};
    reference::Chain model;
    std::mt19937 rng{12345};

    float uniform(float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); }

    // The effect holds parameters within 0..1 and points within 0..128.
    void set(int index, float v)
    {
        host.setParameter(index, v);
        model.set(index, std::clamp(v, 0.0f, 1.0f));
    }

    void setPoint(int i, int64_t v)
    {
        host.setParameter(10, (float)i);
        host.setParameter(11, (float)v);
        model.curve[i] = std::clamp<int64_t>(v, 0, 128);
    }

    std::vector<float> signal(int frames)
    {
        std::vector<float> s(frames);
        for (auto& x : s)
        {
            switch (rng() % 8)
            {
            case 0: x = 0.0f; break;
            case 1: x = uniform(-1e-12f, 1e-12f); break;
            case 2: x = uniform(-3.0f, 3.0f); break;
            default: x = uniform(-1.0f, 1.0f); break;
            }
        }
        return s;
    }

    // Runs one block through both and compares every output sample's bits.
    void compareBlock(int frames, bool inPlace)
    {
        auto inL = signal(frames), inR = signal(frames);
        std::vector<float> expL(frames), expR(frames);
        model.block(inL.data(), inR.data(), expL.data(), expR.data(), frames);
        std::vector<float> outL(frames, 7.0f), outR(frames, 7.0f);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        if (inPlace)
            host.processReplacing(in, in, frames);
        else
            host.processReplacing(in, out, frames);
        const auto& gotL = inPlace ? inL : outL;
        const auto& gotR = inPlace ? inR : outR;
        for (int i = 0; i < frames; ++i)
        {
            ASSERT_EQ(bits(expL[i]), bits(gotL[i])) << "left frame " << i << " of " << frames;
            ASSERT_EQ(bits(expR[i]), bits(gotR[i])) << "right frame " << i << " of " << frames;
        }
    }
};

TEST_F(SignalChain, DefaultsMatchTheModel)
{
    for (int frames : {1, 2, 3, 64, 4096})
        compareBlock(frames, false);
}

TEST_F(SignalChain, RandomSettingsCurvesAndBlockSizesMatchBitForBit)
{
    const float typeValues[] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f, 0.16f, 0.5f, 7.0f / 6.0f, -0.6f};
    for (int round = 0; round < 60; ++round)
    {
        for (int i : {0, 1, 2, 6, 8})
            set(i, uniform(0.0f, 1.0f));
        set(3, (rng() % 4 == 0) ? uniform(0.0f, 1.0f) : 1.0f);
        set(4, (rng() % 3 == 0) ? 1.0f : uniform(0.0f, 1.0f));
        set(5, typeValues[rng() % 8]);
        set(7, typeValues[rng() % 8]);
        for (int k = 0; k < 16; ++k)
            setPoint(rng() % 128, rng() % 128);
        const int frames = (round % 5 == 0) ? 4096 : 1 + rng() % 700;
        // Two blocks in a row: filter state and last indices carry over.
        compareBlock(frames, round % 2 == 1);
        compareBlock(1 + rng() % 64, round % 3 == 0);
    }
}

TEST_F(SignalChain, EveryFilterTypeOnBothSlots)
{
    for (float pre : {1.0f / 3.0f, 2.0f / 3.0f, 1.0f, 7.0f / 6.0f})
        for (float post : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f})
        {
            set(5, pre);
            set(7, post);
            set(6, uniform(0.0f, 1.0f));
            set(8, uniform(0.0f, 1.0f));
            compareBlock(512, false);
        }
}

TEST_F(SignalChain, CurvePointsBeyondTheirRangeAreBounded)
{
    // 128 silences, 0 is full scale: nothing beyond reaches the shaper.
    setPoint(0, 128);
    setPoint(127, -1000);
    setPoint(64, 2147483647);
    host.setParameter(10, 127.0f);
    EXPECT_EQ(host.getParameter(11), 0.0f);
    host.setParameter(10, 64.0f);
    EXPECT_EQ(host.getParameter(11), 128.0f);
    compareBlock(2048, false);
}

TEST_F(SignalChain, HalfLevelInputGivesTheDocumentedOutput)
{
    float l[1] = {0.5f}, r[1] = {-1.0f};
    float* io[2] = {l, r};
    host.processReplacing(io, io, 1);
    EXPECT_EQ(l[0], 0.32421875f); // index 83: 83/128 * 0.5
    EXPECT_EQ(r[0], -0.49609375f); // index 127
}

TEST_F(SignalChain, WetDryZeroPassesTheInputUnchanged)
{
    set(4, 0.0f);
    auto in = signal(256);
    std::vector<float> out(256), outR(256);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), outR.data()};
    host.processReplacing(ins, outs, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(bits(in[i]), bits(out[i]));
}

TEST_F(SignalChain, NonPositiveFrameCountsTouchNothing)
{
    float buffer[4] = {9, 9, 9, 9};
    float* io[2] = {buffer, buffer + 2};
    for (int frames : {0, -1, -2147483647 - 1})
        host.processReplacing(io, io, frames);
    for (float v : buffer)
        EXPECT_EQ(v, 9.0f);
}

TEST_F(SignalChain, NonFiniteInputLeavesNoLastingDamage)
{
    const float nan = std::nanf(""), inf = INFINITY;
    set(5, 2.0f / 3.0f); // band-pass and low-pass keep state across frames
    set(7, 1.0f / 3.0f);
    set(1, 0.0f); // right factor 0: inf * 0 is NaN before the clip
    float l[4] = {nan, inf, -inf, -nan}, r[4] = {inf, nan, 1e30f, -inf};
    float* io[2] = {l, r};
    host.processReplacing(io, io, 4);
    std::vector<float> a(512, 0.3f), b(512, -0.3f);
    float* ins[2] = {a.data(), b.data()};
    host.processReplacing(ins, ins, 512);
    for (int i = 0; i < 512; ++i)
    {
        ASSERT_TRUE(std::isfinite(a[i])) << i;
        ASSERT_TRUE(std::isfinite(b[i])) << i;
    }
}

TEST_F(SignalChain, AccumulatingEntryWritesLikeTheReplacingOne)
{
    float a[2] = {0.5f, 0.5f}, b[2] = {0.5f, 0.5f}, oa[2] = {100, 100}, ob[2] = {100, 100};
    float* ins[2] = {a, b};
    float* outs[2] = {oa, ob};
    host.effect()->process(host.effect(), ins, outs, 2);
    EXPECT_EQ(oa[0], 0.32421875f);
    EXPECT_EQ(ob[1], 0.32421875f);
}

} // namespace
