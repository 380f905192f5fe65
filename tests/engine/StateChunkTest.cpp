// Saving and restoring the whole state through the chunk opcodes.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

template <typename T>
T at(const std::vector<unsigned char>& c, size_t offset)
{
    T v;
    std::memcpy(&v, c.data() + offset, sizeof v);
    return v;
}

template <typename T>
void put(std::vector<unsigned char>& c, size_t offset, T v)
{
    std::memcpy(c.data() + offset, &v, sizeof v);
}

class StateChunk : public ::testing::Test
{
protected:
    dc::TestHost host{dc::TestHost::pluginPath()};

    float point(int i)
    {
        host.setParameter(10, (float)i);
        return host.getParameter(11);
    }
    void scramble()
    {
        std::mt19937 rng(7);
        for (int i = 0; i < 9; ++i)
            host.setParameter(i, std::uniform_real_distribution<float>(0, 1)(rng));
        for (int i = 0; i < 128; ++i)
        {
            host.setParameter(10, (float)i);
            host.setParameter(11, (float)(rng() % 128));
        }
    }
};

TEST_F(StateChunk, FreshChunkLayout)
{
    const auto c = host.chunk();
    ASSERT_EQ(c.size(), 564u);
    EXPECT_EQ(at<uint32_t>(c, 0), 0x3F866666u);
    EXPECT_EQ(at<float>(c, 4), 0.5f);
    EXPECT_EQ(at<float>(c, 8), 0.5f);
    EXPECT_EQ(at<float>(c, 12), 0.5f);
    EXPECT_EQ(at<uint32_t>(c, 16), 0u);
    EXPECT_EQ(at<float>(c, 20), 1.0f);
    EXPECT_EQ(at<uint64_t>(c, 24), 0u);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(at<int32_t>(c, 32 + 4 * i), 128 - i);
    EXPECT_EQ(at<float>(c, 544), 1.0f);
    EXPECT_EQ(at<float>(c, 548), 0.0f);
    EXPECT_EQ(at<float>(c, 552), 0.0f);
    EXPECT_EQ(at<float>(c, 556), 0.5f);
    EXPECT_EQ(at<float>(c, 560), 0.5f);
}

TEST_F(StateChunk, RoundTripRestoresEveryParameterAndPoint)
{
    const auto fresh = host.chunk();
    scramble();
    const auto changed = host.chunk();
    ASSERT_NE(fresh, changed);
    host.clearRequests();
    EXPECT_EQ(host.loadChunk(fresh), 1);
    EXPECT_EQ(host.chunk(), fresh);
    EXPECT_EQ(host.loadChunk(changed), 1);
    EXPECT_EQ(host.chunk(), changed);
    // And into another instance.
    dc::TestHost other(dc::TestHost::pluginPath());
    EXPECT_EQ(other.loadChunk(changed), 1);
    EXPECT_EQ(other.chunk(), changed);
}

TEST_F(StateChunk, OlderVersionsRestoreWhatTheyCarry)
{
    scramble();
    auto c = host.chunk();
    put(c, 548, 1.0f); // would be high-pass
    put(c, 556, 0.9f);
    put(c, 544, 0.25f);
    put(c, 0, 1.02f);
    host.setParameter(4, 0.6f);
    EXPECT_EQ(host.loadChunk(c), 1);
    EXPECT_EQ(host.getParameter(0), at<float>(c, 4));
    EXPECT_EQ(host.getParameter(4), 0.25f);
    EXPECT_EQ(host.getParameter(5), 0.0f);
    EXPECT_EQ(host.getParameter(6), 0.5f);
    EXPECT_EQ(point(3), (float)at<int32_t>(c, 32 + 12));
    put(c, 0, 1.005f);
    EXPECT_EQ(host.loadChunk(c), 1);
    EXPECT_EQ(host.getParameter(4), 1.0f);
    EXPECT_EQ(point(3), (float)at<int32_t>(c, 32 + 12));
}

TEST_F(StateChunk, VersionsOutsideTheRangeGiveDefaultsAndKeepTheCurve)
{
    scramble();
    const float curveBefore = point(9);
    for (float v : {1.0f, 2.0f, 0.0f, -1.05f, std::nanf(""), INFINITY})
    {
        auto c = host.chunk();
        put(c, 0, v);
        put(c, 32 + 36, 99);
        host.setParameter(0, 0.9f);
        EXPECT_EQ(host.loadChunk(c), 1) << v;
        EXPECT_EQ(host.getParameter(0), 0.5f) << v;
        EXPECT_EQ(point(9), curveBefore) << v;
    }
}

TEST_F(StateChunk, ShaperSwitchAboveOneLoadsAsOne)
{
    auto c = host.chunk();
    put(c, 20, 3.0f);
    host.loadChunk(c);
    EXPECT_EQ(host.getParameter(3), 1.0f);
}

TEST_F(StateChunk, FilterSettingsFromAChunkTakeEffect)
{
    auto c = host.chunk();
    put(c, 548, 2.0f / 3.0f);
    put(c, 552, 1.0f);
    host.loadChunk(c);
    EXPECT_EQ(host.text(effGetParamDisplay, 5), " BANDPASS");
    EXPECT_EQ(host.text(effGetParamDisplay, 7), " HIPASS");
}

TEST_F(StateChunk, ShortDamagedBlocksAreRefusedAndChangeNothing)
{
    scramble();
    const auto before = host.chunk();
    auto c = before;
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 3, c.data()), 0);
    EXPECT_EQ(host.dispatch(effSetChunk, 0, -5, c.data()), 0);
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 563, c.data()), 0); // 1.05 needs 564
    put(c, 0, 1.02f);
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 547, c.data()), 0); // 1.01 needs 548
    put(c, 0, 1.005f);
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 543, c.data()), 0);
    EXPECT_EQ(host.chunk(), before);
    // Exactly long enough for its version is fine, and longer blocks are read up to 564.
    EXPECT_EQ(host.dispatch(effSetChunk, 0, 544, c.data()), 1);
    std::vector<unsigned char> longer = before;
    longer.resize(4096, 0xEE);
    EXPECT_EQ(host.loadChunk(longer), 1);
    EXPECT_EQ(host.chunk(), before);
}

// As found: parameters in range, every curve point INT32_MIN; a 0.5 sine came
// out at 8.4e6 (+138 dB).
TEST_F(StateChunk, CurvePointsOfInt32MinLoadBoundedAndTheOutputStaysBounded)
{
    auto c = host.chunk();
    for (int i = 0; i < 128; ++i)
        put(c, 32 + 4 * i, INT32_MIN);
    ASSERT_EQ(host.loadChunk(c), 1);
    for (int i : {0, 64, 127})
        EXPECT_EQ(point(i), 0.0f) << i; // full scale, the loudest a point can be
    host.setParameter(0, 1.0f);
    host.setParameter(2, 1.0f);
    std::vector<float> l(512), r(512);
    for (int k = 0; k < 512; ++k)
        l[k] = r[k] = 0.5f * std::sin(k * 0.05f);
    float* io[2] = {l.data(), r.data()};
    host.processReplacing(io, io, 512);
    for (int k = 0; k < 512; ++k)
    {
        ASSERT_LE(std::fabs(l[k]), 1.0f) << k;
        ASSERT_LE(std::fabs(r[k]), 1.0f) << k;
    }
}

// What each kind of bad field loads as: parameters out of range are clamped
// to 0..1, non-finite ones keep their default, points are bounded to 0..128.
TEST_F(StateChunk, OutOfRangeFieldsLoadClampedAndNonFiniteOnesAsDefaults)
{
    scramble();
    auto c = host.chunk();
    put(c, 4, 1e30f);            // PreGain
    put(c, 8, -4.0f);            // PrePan
    put(c, 12, std::nanf(""));   // PostGain: default 0.5
    put(c, 20, -INFINITY);       // ShaperSw: default 1.0
    put(c, 544, INFINITY);       // Wet Dry: default 1.0
    put(c, 548, 2.0f);           // Pre FlTy
    put(c, 560, -0.5f);          // Post Cut
    put(c, 32, INT32_MAX);
    put(c, 36, -1);
    put(c, 40, 129);
    put(c, 44, 128);
    ASSERT_EQ(host.loadChunk(c), 1);
    const float expected[9] = {1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 1.0f, at<float>(c, 556), at<float>(c, 552), 0.0f};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(host.getParameter(i), expected[i]) << i;
    EXPECT_EQ(point(0), 128.0f);
    EXPECT_EQ(point(1), 0.0f);
    EXPECT_EQ(point(2), 128.0f);
    EXPECT_EQ(point(3), 128.0f);
    // And the state saved next holds the bounded values.
    const auto saved = host.chunk();
    EXPECT_EQ(at<float>(saved, 4), 1.0f);
    EXPECT_EQ(at<int32_t>(saved, 32), 128);
    EXPECT_EQ(at<int32_t>(saved, 36), 0);
    EXPECT_EQ(host.text(effGetParamDisplay, 5), " HIPASS");
}

TEST_F(StateChunk, GarbageAndNonFiniteFieldsLoadSafely)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round)
    {
        std::vector<unsigned char> c(rng() % 700);
        for (auto& b : c)
            b = rng() & 0xFF;
        if (c.size() >= 4 && round % 2)
            put(c, 0, 1.05f);
        if (c.size() >= 564 && round % 4 == 1)
            for (size_t off : {4, 8, 12, 20, 544, 548, 552, 556, 560})
                put(c, off, std::nanf(""));
        host.loadChunk(c);
        for (int i = 0; i < 9; ++i)
        {
            const float v = host.getParameter(i);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << i << " " << v;
        }
        for (int i : {0, 77, 127})
            ASSERT_TRUE(point(i) >= 0.0f && point(i) <= 128.0f) << i;
        float l[16] = {0.5f}, r[16] = {-0.5f};
        float* io[2] = {l, r};
        host.processReplacing(io, io, 16);
        for (int k = 0; k < 16; ++k)
            ASSERT_TRUE(std::fabs(l[k]) <= 64.0f && std::fabs(r[k]) <= 64.0f) << k;
    }
}

} // namespace
