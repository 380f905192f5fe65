// Parameter and event listeners. There are no run loops: the run-loop
// arguments must be null, and every matching listener is called
// synchronously on the notifying thread, in registration order.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

DC_EXTERN_C_BEGIN

// 24 bytes.
struct AudioUnitParameter
{
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};
typedef struct AudioUnitParameter AudioUnitParameter;

// 24 bytes.
struct AudioUnitProperty
{
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};
typedef struct AudioUnitProperty AudioUnitProperty;

typedef UInt32 AudioUnitEventType;
enum
{
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3
};

// 32 bytes.
struct AudioUnitEvent
{
    AudioUnitEventType mEventType;
    union
    {
        AudioUnitParameter mParameter; // the parameter events
        AudioUnitProperty mProperty; // kAudioUnitEvent_PropertyChange
    } mArgument;
};
typedef struct AudioUnitEvent AudioUnitEvent;

typedef struct AUListenerBase* AUParameterListenerRef;
typedef AUParameterListenerRef AUEventListenerRef;

// inValue is read with AudioUnitGetParameter at notification time.
typedef void (*AUParameterListenerProc)(void* inRefCon, void* inObject, const AudioUnitParameter* inParameter,
                                        AudioUnitParameterValue inValue);
// inParameterValue: as above for value changes, 0 for other events.
typedef void (*AUEventListenerProc)(void* inCallbackRefCon, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);

// A parameter ID that matches every parameter in a registration.
enum
{
    kAUParameterListener_AnyParameter = (int)0xFFFFFFFFU
};

// Creation, registration and disposal happen on the UI thread; the notify
// calls may run on any thread, the render thread included (they neither
// allocate nor wait for a registration in progress).
DC_PLATFORM_EXPORT OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop,
                                             CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                                             AUParameterListenerRef* outListener); // [UI thread]
// Disposes parameter and event listeners alike.
DC_PLATFORM_EXPORT OSStatus AUListenerDispose(AUParameterListenerRef inListener); // [UI thread]
DC_PLATFORM_EXPORT OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                                   const AudioUnitParameter* inParameter); // [UI thread]
// Removes the registrations with the same object and parameter.
DC_PLATFORM_EXPORT OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                                      const AudioUnitParameter* inParameter); // [UI thread]
// A parameter value change: reaches the parameter listeners and the event
// listeners registered for value changes of that parameter.
DC_PLATFORM_EXPORT OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                                      const AudioUnitParameter* inParameter); // [any thread]

DC_PLATFORM_EXPORT OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop,
                                                  CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                                                  Float32 inValueChangeGranularity,
                                                  AUEventListenerRef* outListener); // [UI thread]
DC_PLATFORM_EXPORT OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                                        const AudioUnitEvent* inEvent); // [UI thread]
DC_PLATFORM_EXPORT OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                                           const AudioUnitEvent* inEvent); // [UI thread]
DC_PLATFORM_EXPORT OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                                  const AudioUnitEvent* inEvent); // [any thread]

DC_EXTERN_C_END
