// The Carbon main event loop: timers that fire only inside
// RunCurrentEventLoop, on the thread that pumps it.
#pragma once

#include <CoreServices/CoreServices.h>

DC_EXTERN_C_BEGIN

typedef double EventTime;
typedef EventTime EventTimeout;
typedef EventTime EventTimerInterval;

#define kEventDurationSecond ((EventTime)1.0)
#define kEventDurationMillisecond ((EventTime)(kEventDurationSecond / 1000))
#define kEventDurationMicrosecond ((EventTime)(kEventDurationSecond / 1000000))
#define kEventDurationNanosecond ((EventTime)(kEventDurationSecond / 1000000000))
#define kEventDurationMinute ((EventTime)(kEventDurationSecond * 60))
#define kEventDurationForever ((EventTime)(-1.0))
#define kEventDurationNoWait ((EventTime)0.0)

enum
{
    eventLoopTimedOutErr = -9875,
    eventLoopQuitErr = -9876,
    eventNotHandledErr = -9874
};

typedef struct OpaqueEventLoopRef* EventLoopRef;
typedef struct __EventLoopTimer* EventLoopTimerRef;
typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef inTimer, void* inUserData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;

DC_PLATFORM_EXPORT EventLoopRef GetMainEventLoop(void); // [any thread]
DC_PLATFORM_EXPORT EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr userRoutine); // [any thread]
DC_PLATFORM_EXPORT void DisposeEventLoopTimerUPP(EventLoopTimerUPP userUPP); // [any thread]
// First fire after inFireDelay seconds, then every inInterval seconds
// (0: once). paramErr for a null loop, procedure or outTimer.
DC_PLATFORM_EXPORT OSStatus InstallEventLoopTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay,
                                                  EventTimerInterval inInterval, EventLoopTimerUPP inTimerProc,
                                                  void* inTimerData, EventLoopTimerRef* outTimer); // [UI thread]
// Safe from inside a timer procedure, its own timer included.
DC_PLATFORM_EXPORT OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer); // [UI thread]
// Fires the due timers of the main loop on the calling thread until the
// timeout has passed (0: one pass), each at most once per pass; a timer that
// has missed several intervals fires once and its next time moves past now.
// Returns eventLoopTimedOutErr.
DC_PLATFORM_EXPORT OSStatus RunCurrentEventLoop(EventTimeout inTimeout); // [UI thread]

DC_EXTERN_C_END
