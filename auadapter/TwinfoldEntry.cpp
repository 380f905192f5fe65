// The exported Component Manager entry: the four standard selectors, and
// every other selector handed to the instance. No exception leaves it.
#include "auadapter/EOFException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/TwinfoldEntry.h"

#include <cstring>
#include <new>

namespace
{

// The result code of the exception being handled.
ComponentResult resultOfCurrentException() noexcept
{
    try
    {
        throw;
    }
    catch (const MacOSException& e)
    {
        return e.getCode();
    }
    catch (const EOFException&)
    {
        return eofErr;
    }
    catch (const std::bad_alloc&)
    {
        return memFullErr;
    }
    catch (...)
    {
        return kUnknownFailure;
    }
}

template <typename T> T argument(const ComponentParameters* parameters, int slot)
{
    T value;
    std::memcpy(&value, &parameters->params[slot], sizeof(T));
    return value;
}

bool isHandledSelector(SInt16 selector)
{
    switch (selector)
    {
    case kComponentVersionSelect:
    case kComponentCanDoSelect:
    case kComponentCloseSelect:
    case kComponentOpenSelect:
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect:
    case kAudioUnitGetPropertyInfoSelect:
    case kAudioUnitGetPropertySelect:
    case kAudioUnitSetPropertySelect:
    case kAudioUnitGetParameterSelect:
    case kAudioUnitSetParameterSelect:
    case kAudioUnitResetSelect:
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRenderSelect:
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
    case kAudioUnitScheduleParametersSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    case kMusicDeviceMIDIEventSelect:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" ComponentResult TwinfoldEntry(ComponentParameters* parameters, Handle storage)
{
    if (!parameters)
        return paramErr;
    auto* component = reinterpret_cast<TwinfoldComponent*>(storage);
    try
    {
        switch (parameters->what)
        {
        case kComponentOpenSelect:
        {
            ComponentInstance instance = argument<ComponentInstance>(parameters, 0);
            auto* created = new TwinfoldComponent(instance);
            SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(created));
            return noErr;
        }
        case kComponentCloseSelect:
            if (component)
            {
                ComponentInstance instance = component->getComponentInstance();
                delete component;
                SetComponentInstanceStorage(instance, nullptr);
            }
            return noErr;
        case kComponentCanDoSelect:
            return isHandledSelector(argument<SInt16>(parameters, 1)) ? 1 : 0;
        case kComponentVersionSelect:
        {
            OSStatus error = noErr;
            const long version = TwinfoldComponent::getRegisteredVersion(error);
            return error != noErr ? error : static_cast<ComponentResult>(version);
        }
        default:
            if (!component)
                return badComponentSelector;
            component->dispatch(parameters);
            return noErr;
        }
    }
    catch (...)
    {
        return resultOfCurrentException();
    }
}
