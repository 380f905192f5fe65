// The main event loop: timers fire only inside RunCurrentEventLoop, once per
// pass, without bursts after a stall.
#include <Carbon/Carbon.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{

struct Counter
{
    int fired = 0;
    EventLoopTimerRef removeSelf = nullptr;
};

void count(EventLoopTimerRef timer, void* data)
{
    auto* c = static_cast<Counter*>(data);
    ++c->fired;
    if (c->removeSelf == timer)
        RemoveEventLoopTimer(timer);
}

TEST(EventLoop, TimersFireOnlyInsideThePump)
{
    Counter c;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.0, 0.01, NewEventLoopTimerUPP(count), &c, &timer), noErr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(c.fired, 0) << "nothing fires while nobody pumps";
    // Several intervals have passed: one pass fires it once, not five times.
    EXPECT_EQ(RunCurrentEventLoop(0), eventLoopTimedOutErr);
    EXPECT_EQ(c.fired, 1);
    EXPECT_EQ(RunCurrentEventLoop(0), eventLoopTimedOutErr);
    EXPECT_EQ(c.fired, 1) << "the next fire time moved past now";
    ASSERT_EQ(RemoveEventLoopTimer(timer), noErr);
    EXPECT_EQ(RemoveEventLoopTimer(timer), paramErr);
}

TEST(EventLoop, APumpWithATimeoutFiresAtTheIntervalAndReturnsTimedOut)
{
    Counter c;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.025, 0.025, count, &c, &timer), noErr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCurrentEventLoop(0.26), eventLoopTimedOutErr);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, 0.26);
    EXPECT_GE(c.fired, 8);
    EXPECT_LE(c.fired, 10);
    RemoveEventLoopTimer(timer);
}

TEST(EventLoop, ATimerMayRemoveItselfAndOneShotsFireOnce)
{
    Counter self, once;
    EventLoopTimerRef selfTimer = nullptr, onceTimer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0.001, count, &self, &selfTimer), noErr);
    self.removeSelf = selfTimer;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0, count, &once, &onceTimer), noErr);
    RunCurrentEventLoop(0.02);
    EXPECT_EQ(self.fired, 1);
    EXPECT_EQ(once.fired, 1);
    RemoveEventLoopTimer(onceTimer);
    EXPECT_EQ(InstallEventLoopTimer(nullptr, 0, 0, count, &once, &onceTimer), paramErr);
    EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0, nullptr, &once, &onceTimer), paramErr);
}

} // namespace
