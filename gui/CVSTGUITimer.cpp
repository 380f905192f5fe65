#include "gui/CVSTGUITimer.h"

#include <algorithm>
#include <vector>

const char* CVSTGUITimer::kMsgTimer = "timer fired";

namespace
{
// The running timers of this module; touched only on the UI thread.
std::vector<CVSTGUITimer*>& runningTimers()
{
    static std::vector<CVSTGUITimer*> timers;
    return timers;
}
bool firing = false;
}

CVSTGUITimer::CVSTGUITimer(CBaseObject* target, uint32_t fireTime, bool doStart) : target(target), fireTime(fireTime)
{
    if (doStart)
        start();
}

CVSTGUITimer::~CVSTGUITimer()
{
    stop();
}

void CVSTGUITimer::schedule(Clock::time_point from)
{
    nextFire = from + std::chrono::milliseconds(fireTime);
}

bool CVSTGUITimer::start()
{
    if (running)
        return true;
    runningTimers().push_back(this);
    running = true;
    schedule(Clock::now());
    return true;
}

bool CVSTGUITimer::stop()
{
    if (!running)
        return true;
    auto& timers = runningTimers();
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    running = false;
    return true;
}

bool CVSTGUITimer::setFireTime(uint32_t newFireTime)
{
    fireTime = newFireTime;
    if (running)
        schedule(Clock::now());
    return true;
}

void CVSTGUITimer::fireDueTimers(Clock::time_point now)
{
    if (firing)
        return;
    firing = true;
    // A notification may start, stop or delete timers: work on a snapshot and
    // check that each timer is still running before notifying it.
    static std::vector<CVSTGUITimer*> snapshot;
    snapshot = runningTimers();
    for (CVSTGUITimer* timer : snapshot)
    {
        const auto& timers = runningTimers();
        if (std::find(timers.begin(), timers.end(), timer) == timers.end())
            continue;
        if (now < timer->nextFire)
            continue;
        // Catch up without bursts: the next firing counts from now.
        timer->schedule(now);
        if (timer->target)
            timer->target->notify(timer, kMsgTimer);
    }
    firing = false;
}
