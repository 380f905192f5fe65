// Parameter and event listeners. Registrations live in an immutable table
// that the UI thread replaces as a whole (copy, change, publish); notifying
// only reads the published table, so it neither allocates nor locks and may
// run on the render thread. A replaced table, and a disposed listener, are
// freed once no notification is reading any more.
#include <AudioToolbox/AudioToolbox.h>

#include <atomic>
#include <mutex>
#include <vector>

struct AUListenerBase
{
    bool isEventListener = false;
    AUParameterListenerProc parameterProc = nullptr;
    AUEventListenerProc eventProc = nullptr;
    void* userData = nullptr;
    // Set by AUListenerDispose; a notification already running skips it.
    std::atomic<bool> disposed{false};
};

namespace
{

struct Registration
{
    AUListenerBase* listener;
    void* object;
    AudioUnitEvent event; // for parameter listeners: a value-change event
};

using Table = std::vector<Registration>;

struct Listeners
{
    std::mutex writeLock; // registration calls only; notifying never takes it
    std::atomic<const Table*> table{new Table()};
    std::atomic<int> readers{0};
    std::vector<const Table*> retiredTables;
    std::vector<AUListenerBase*> retiredListeners;
};

Listeners& listeners()
{
    static auto* l = new Listeners();
    return *l;
}

bool sameTarget(const AudioUnitEvent& a, const AudioUnitEvent& b)
{
    if (a.mEventType != b.mEventType)
        return false;
    if (a.mEventType == kAudioUnitEvent_PropertyChange)
        return a.mArgument.mProperty.mAudioUnit == b.mArgument.mProperty.mAudioUnit &&
               a.mArgument.mProperty.mPropertyID == b.mArgument.mProperty.mPropertyID &&
               a.mArgument.mProperty.mScope == b.mArgument.mProperty.mScope &&
               a.mArgument.mProperty.mElement == b.mArgument.mProperty.mElement;
    return a.mArgument.mParameter.mAudioUnit == b.mArgument.mParameter.mAudioUnit &&
           a.mArgument.mParameter.mParameterID == b.mArgument.mParameter.mParameterID &&
           a.mArgument.mParameter.mScope == b.mArgument.mParameter.mScope &&
           a.mArgument.mParameter.mElement == b.mArgument.mParameter.mElement;
}

// Does a registered event match a notified one? A parameter ID of
// kAUParameterListener_AnyParameter on either side matches every parameter.
bool matches(const AudioUnitEvent& registered, const AudioUnitEvent& notified)
{
    if (registered.mEventType != notified.mEventType)
        return false;
    if (notified.mEventType == kAudioUnitEvent_PropertyChange)
        return sameTarget(registered, notified);
    const AudioUnitParameter& r = registered.mArgument.mParameter;
    const AudioUnitParameter& n = notified.mArgument.mParameter;
    const AudioUnitParameterID any = static_cast<AudioUnitParameterID>(kAUParameterListener_AnyParameter);
    return r.mAudioUnit == n.mAudioUnit && r.mScope == n.mScope && r.mElement == n.mElement &&
           (r.mParameterID == n.mParameterID || r.mParameterID == any || n.mParameterID == any);
}

// Frees what no notification can still be reading. Write lock held.
void collect(Listeners& l)
{
    if (l.readers.load(std::memory_order_seq_cst) != 0)
        return;
    for (const Table* t : l.retiredTables)
        delete t;
    l.retiredTables.clear();
    for (AUListenerBase* listener : l.retiredListeners)
        delete listener;
    l.retiredListeners.clear();
}

// Replaces the table with a changed copy. Write lock held.
template <typename Change>
void update(Listeners& l, Change change)
{
    auto* next = new Table(*l.table.load(std::memory_order_relaxed));
    change(*next);
    const Table* previous = l.table.exchange(next, std::memory_order_seq_cst);
    l.retiredTables.push_back(previous);
    collect(l);
}

OSStatus addRegistration(AUListenerBase* listener, void* object, const AudioUnitEvent& event)
{
    if (!listener)
        return paramErr;
    Listeners& l = listeners();
    std::lock_guard<std::mutex> guard(l.writeLock);
    update(l, [&](Table& t) { t.push_back({listener, object, event}); });
    return noErr;
}

OSStatus removeRegistration(AUListenerBase* listener, void* object, const AudioUnitEvent& event)
{
    if (!listener)
        return paramErr;
    Listeners& l = listeners();
    std::lock_guard<std::mutex> guard(l.writeLock);
    update(l, [&](Table& t) {
        std::erase_if(t, [&](const Registration& r) {
            return r.listener == listener && r.object == object && sameTarget(r.event, event);
        });
    });
    return noErr;
}

AudioUnitEvent valueChangeEvent(const AudioUnitParameter& p)
{
    AudioUnitEvent e{};
    e.mEventType = kAudioUnitEvent_ParameterValueChange;
    e.mArgument.mParameter = p;
    return e;
}

bool isParameterEvent(AudioUnitEventType type)
{
    return type == kAudioUnitEvent_ParameterValueChange || type == kAudioUnitEvent_BeginParameterChangeGesture ||
           type == kAudioUnitEvent_EndParameterChangeGesture;
}

AudioUnitParameterValue currentValue(const AudioUnitParameter& p)
{
    if (p.mParameterID == static_cast<AudioUnitParameterID>(kAUParameterListener_AnyParameter))
        return 0;
    AudioUnitParameterValue value = 0;
    if (AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value) != noErr)
        return 0;
    return value;
}

void notify(AUListenerBase* sender, const AudioUnitEvent& event) // [any thread]
{
    Listeners& l = listeners();
    l.readers.fetch_add(1, std::memory_order_seq_cst);
    const Table* table = l.table.load(std::memory_order_seq_cst);
    for (const Registration& r : *table)
    {
        if (r.listener == sender || !matches(r.event, event) || r.listener->disposed.load(std::memory_order_acquire))
            continue;
        AudioUnitEvent delivered = event;
        // A notification for any parameter names the registered one.
        if (event.mEventType != kAudioUnitEvent_PropertyChange &&
            event.mArgument.mParameter.mParameterID ==
                static_cast<AudioUnitParameterID>(kAUParameterListener_AnyParameter))
            delivered.mArgument.mParameter.mParameterID = r.event.mArgument.mParameter.mParameterID;
        const bool valueChange = event.mEventType == kAudioUnitEvent_ParameterValueChange;
        const AudioUnitParameterValue value = valueChange ? currentValue(delivered.mArgument.mParameter) : 0;
        if (r.listener->isEventListener)
            r.listener->eventProc(r.listener->userData, r.object, &delivered, 0, value);
        else
            r.listener->parameterProc(r.listener->userData, r.object, &delivered.mArgument.mParameter, value);
    }
    l.readers.fetch_sub(1, std::memory_order_seq_cst);
}

} // namespace

extern "C" {

OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop, CFStringRef,
                          Float32, AUParameterListenerRef* outListener)
{
    if (!inProc || !outListener || inRunLoop)
        return paramErr;
    auto* listener = new AUListenerBase();
    listener->parameterProc = inProc;
    listener->userData = inUserData;
    *outListener = listener;
    return noErr;
}

OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop, CFStringRef,
                               Float32, Float32, AUEventListenerRef* outListener)
{
    if (!inProc || !outListener || inRunLoop)
        return paramErr;
    auto* listener = new AUListenerBase();
    listener->isEventListener = true;
    listener->eventProc = inProc;
    listener->userData = inUserData;
    *outListener = listener;
    return noErr;
}

OSStatus AUListenerDispose(AUParameterListenerRef inListener)
{
    if (!inListener)
        return paramErr;
    Listeners& l = listeners();
    std::lock_guard<std::mutex> guard(l.writeLock);
    inListener->disposed.store(true, std::memory_order_release);
    l.retiredListeners.push_back(inListener);
    update(l, [&](Table& t) { std::erase_if(t, [&](const Registration& r) { return r.listener == inListener; }); });
    return noErr;
}

OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject, const AudioUnitParameter* inParameter)
{
    if (!inParameter)
        return paramErr;
    return addRegistration(inListener, inObject, valueChangeEvent(*inParameter));
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter)
{
    if (!inParameter)
        return paramErr;
    return removeRegistration(inListener, inObject, valueChangeEvent(*inParameter));
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject, const AudioUnitEvent* inEvent)
{
    if (!inEvent || !inListener)
        return paramErr;
    // A parameter listener hears value changes only.
    if (!isParameterEvent(inEvent->mEventType) && inEvent->mEventType != kAudioUnitEvent_PropertyChange)
        return paramErr;
    if (!inListener->isEventListener && inEvent->mEventType != kAudioUnitEvent_ParameterValueChange)
        return paramErr;
    return addRegistration(inListener, inObject, *inEvent);
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject, const AudioUnitEvent* inEvent)
{
    if (!inEvent)
        return paramErr;
    return removeRegistration(inListener, inObject, *inEvent);
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void*,
                                   const AudioUnitParameter* inParameter)
{
    if (!inParameter)
        return paramErr;
    notify(inSendingListener, valueChangeEvent(*inParameter));
    return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void*, const AudioUnitEvent* inEvent)
{
    if (!inEvent)
        return paramErr;
    if (!isParameterEvent(inEvent->mEventType) && inEvent->mEventType != kAudioUnitEvent_PropertyChange)
        return paramErr;
    notify(inSendingListener, *inEvent);
    return noErr;
}

} // extern "C"
