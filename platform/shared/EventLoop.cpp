// The main event loop: timers that fire only inside RunCurrentEventLoop, on
// the thread that pumps it. Each pass fires every due timer once; a timer
// that has fallen behind moves its next fire time past now (no bursts).
#include <Carbon/Carbon.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

struct OpaqueEventLoopRef
{
};

struct __EventLoopTimer
{
    EventLoopTimerUPP proc = nullptr;
    void* userData = nullptr;
    double interval = 0; // seconds; 0 fires once
    double nextFire = 0; // seconds on the steady clock
    bool installed = true;
};

namespace
{

struct MainLoop
{
    OpaqueEventLoopRef loop;
    std::mutex lock;
    std::vector<__EventLoopTimer*> timers; // in installation order
    std::vector<__EventLoopTimer*> removed; // freed when no pass is running
    int passesRunning = 0;
};

MainLoop& mainLoop()
{
    static auto* m = new MainLoop();
    return *m;
}

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Lock held.
void freeRemoved(MainLoop& m)
{
    if (m.passesRunning > 0)
        return;
    for (__EventLoopTimer* t : m.removed)
        delete t;
    m.removed.clear();
}

// Fires each due timer once; returns the earliest next fire time.
double runPass(MainLoop& m, double t)
{
    std::vector<__EventLoopTimer*> due;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        ++m.passesRunning;
        for (__EventLoopTimer* timer : m.timers)
            if (timer->nextFire <= t)
                due.push_back(timer);
    }
    for (__EventLoopTimer* timer : due)
    {
        EventLoopTimerUPP proc;
        void* userData;
        {
            std::lock_guard<std::mutex> guard(m.lock);
            // An earlier callback of this pass may have removed it.
            if (!timer->installed)
                continue;
            proc = timer->proc;
            userData = timer->userData;
            if (timer->interval > 0)
            {
                const double missed = std::floor((t - timer->nextFire) / timer->interval);
                timer->nextFire += timer->interval * (missed + 1);
                if (timer->nextFire <= t)
                    timer->nextFire = t + timer->interval;
            }
            else
                timer->nextFire = INFINITY; // fired once; stays installed until removed
        }
        proc(timer, userData);
    }
    std::lock_guard<std::mutex> guard(m.lock);
    --m.passesRunning;
    freeRemoved(m);
    double earliest = INFINITY;
    for (const __EventLoopTimer* timer : m.timers)
        earliest = std::min(earliest, timer->nextFire);
    return earliest;
}

} // namespace

extern "C" {

EventLoopRef GetMainEventLoop(void)
{
    return &mainLoop().loop;
}

EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr userRoutine)
{
    return userRoutine;
}

void DisposeEventLoopTimerUPP(EventLoopTimerUPP)
{
}

OSStatus InstallEventLoopTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay, EventTimerInterval inInterval,
                               EventLoopTimerUPP inTimerProc, void* inTimerData, EventLoopTimerRef* outTimer)
{
    MainLoop& m = mainLoop();
    if (inEventLoop != &m.loop || !inTimerProc || !outTimer || !std::isfinite(inFireDelay) ||
        !std::isfinite(inInterval))
        return paramErr;
    auto* timer = new __EventLoopTimer();
    timer->proc = inTimerProc;
    timer->userData = inTimerData;
    timer->interval = inInterval > 0 ? inInterval : 0;
    timer->nextFire = now() + std::max(0.0, inFireDelay);
    std::lock_guard<std::mutex> guard(m.lock);
    m.timers.push_back(timer);
    *outTimer = timer;
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer)
{
    if (!inTimer)
        return paramErr;
    MainLoop& m = mainLoop();
    std::lock_guard<std::mutex> guard(m.lock);
    auto found = std::find(m.timers.begin(), m.timers.end(), inTimer);
    if (found == m.timers.end())
        return paramErr;
    m.timers.erase(found);
    inTimer->installed = false;
    m.removed.push_back(inTimer);
    freeRemoved(m);
    return noErr;
}

OSStatus RunCurrentEventLoop(EventTimeout inTimeout)
{
    MainLoop& m = mainLoop();
    const double start = now();
    const double deadline = inTimeout < 0 ? INFINITY : start + (std::isnan(inTimeout) ? 0 : inTimeout);
    for (;;)
    {
        const double t = now();
        const double earliest = runPass(m, t);
        const double after = now();
        if (after >= deadline)
            break;
        const double wake = std::min(earliest, deadline);
        if (wake > after)
        {
            // Sleep at most 50 ms at a time so newly installed timers start promptly.
            const double wait = std::min(wake - after, 0.05);
            std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        }
    }
    return eventLoopTimedOutErr;
}

} // extern "C"
