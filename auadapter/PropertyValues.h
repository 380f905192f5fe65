// Property values in the caller's buffer, which need not be aligned, and the
// scope check of the properties that live in the global scope only.
#pragma once

#include "auadapter/MacOSException.h"

#include <AudioUnit/AudioUnit.h>

#include <cstring>

namespace PropertyValues
{

template <typename T> T read(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof(T));
    return value;
}

template <typename T> void write(void* data, const T& value)
{
    std::memcpy(data, &value, sizeof(T));
}

inline void requireGlobal(AudioUnitScope scope)
{
    if (scope != kAudioUnitScope_Global)
        throw MacOSException(kAudioUnitErr_InvalidScope);
}

} // namespace PropertyValues
