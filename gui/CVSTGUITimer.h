// A repeating timer that notifies its target with kMsgTimer. It has no thread
// or run loop of its own: due timers fire when the editor binding idles (the
// host's editor-idle calls and the drag idle hook), so a timer never fires more
// often than those calls come.
#pragma once

#include "gui/CBaseObject.h"

#include <chrono>
#include <cstdint>

class CVSTGUITimer : public CBaseObject
{
public:
    using Clock = std::chrono::steady_clock;

    // The message a timer sends; compare the pointer, not the text.
    static const char* kMsgTimer;

    // [UI thread]
    CVSTGUITimer(CBaseObject* target, uint32_t fireTime = 100, bool doStart = false);
    ~CVSTGUITimer() override;

    bool start();
    bool stop();
    // The interval in milliseconds; a running timer is rescheduled from now.
    bool setFireTime(uint32_t newFireTime);
    uint32_t getFireTime() const { return fireTime; }
    bool isRunning() const { return running; }

    // [UI thread] Notifies the targets of all running timers that are due at
    // `now`, each at most once per call. Calls nested inside a notification do nothing.
    static void fireDueTimers(Clock::time_point now);
    static void fireDueTimers() { fireDueTimers(Clock::now()); }

private:
    void schedule(Clock::time_point from);

    CBaseObject* target;
    uint32_t fireTime;
    bool running = false;
    Clock::time_point nextFire{};
};
