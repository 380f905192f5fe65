// Whole states written on one thread while another reads: every read that
// succeeds holds one whole state, never a mixture of two, and a reader that
// goes by the change counts misses no change. Also run under
// ThreadSanitizer (scripts/tsan-check.sh).
#include "engine/SharedState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

EffectState stateOf(float param, int32_t point)
{
    EffectState s;
    for (float& p : s.params)
        p = param;
    for (int32_t& c : s.curve)
        c = point;
    return s;
}

TEST(SharedState, WholeWritesAreReadWholeOrNotAtAll)
{
    const EffectState a = stateOf(0.25f, 3), b = stateOf(0.75f, 120);
    SharedState shared(a);
    std::atomic<bool> done{false};
    std::atomic<int> writes{0};
    std::thread writer([&] {
        for (int i = 0; !done.load(); ++i)
        {
            shared.write(i % 2 ? a : b, true);
            writes.fetch_add(1, std::memory_order_relaxed);
        }
    });
    // Until there were many whole writes to land in and many clean reads.
    int reads = 0, mixtures = 0;
    for (int attempt = 0; attempt < 5000000 && (reads < 2000 || writes.load() < 20000); ++attempt)
    {
        float params[kNumParams];
        int32_t curve[Parameters::kCurvePoints];
        if (!shared.tryRead(params, curve))
            continue;
        ++reads;
        const bool isA = params[0] == 0.25f;
        for (float p : params)
            mixtures += p != params[0] ? 1 : 0;
        for (int32_t c : curve)
            mixtures += c != (isA ? 3 : 120) ? 1 : 0;
    }
    done.store(true);
    writer.join();
    EXPECT_EQ(mixtures, 0) << "in " << reads << " reads during " << writes.load() << " writes";
    EXPECT_GT(reads, 0);
}

TEST(SharedState, AReaderFollowingTheCountsEndsWithTheLastValues)
{
    SharedState shared(stateOf(0.0f, 0));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 50000; ++i)
        {
            shared.setParameter(i % kNumParams, static_cast<float>(i) / 50000.0f);
            shared.setPoint(i % Parameters::kCurvePoints, i % 129);
        }
        done.store(true);
    });
    SharedState::Versions seen{~0u, ~0u};
    float params[kNumParams] = {};
    int32_t curve[Parameters::kCurvePoints] = {};
    auto follow = [&] {
        const SharedState::Versions now = shared.versions();
        if (now == seen)
            return;
        if (shared.tryRead(params, curve))
            seen = now;
    };
    while (!done.load())
        follow();
    writer.join();
    follow();
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(params[i], shared.parameter(i)) << i;
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        EXPECT_EQ(curve[i], shared.point(i)) << i;
}

// The audio thread's curve write never waits for another thread's whole
// write: it fails instead, and what it does write is whole.
TEST(SharedState, ACurveTriedBesideWholeWritesFailsOrLandsWhole)
{
    const EffectState a = stateOf(0.25f, 3);
    SharedState shared(a);
    std::atomic<bool> done{false};
    // The writer leaves gaps between its writes so that, however the two
    // threads are scheduled, some tries fall between writes and land.
    std::thread writer([&] {
        while (!done.load())
        {
            shared.write(a, true);
            std::this_thread::yield();
        }
    });
    int32_t mine[Parameters::kCurvePoints];
    for (int32_t& c : mine)
        c = 77;
    int landed = 0, refused = 0, mixtures = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((landed < 100 || refused < 100) && std::chrono::steady_clock::now() < until)
    {
        if (!shared.tryWriteCurve(mine))
        {
            ++refused;
            continue;
        }
        ++landed;
        float params[kNumParams];
        int32_t curve[Parameters::kCurvePoints];
        if (shared.tryRead(params, curve))
            for (int32_t c : curve)
                mixtures += c != curve[0] ? 1 : 0;
    }
    done.store(true);
    writer.join();
    EXPECT_GT(landed, 0);
    EXPECT_EQ(mixtures, 0);
    // Once alone, it always lands.
    EXPECT_TRUE(shared.tryWriteCurve(mine));
    EXPECT_EQ(shared.point(5), 77);
}

} // namespace
