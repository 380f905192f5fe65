// The file layer's own FSRef conversions while the platform library lacks
// FSPathMakeRef and FSRefMakePath (DC_FSREF_STAND_IN is set by the build).
#pragma once

#include "platform/ResultCodes.h"

#include <CoreServices/CoreServices.h>

#include <cstdint>

namespace Files::standIn
{
OSStatus pathMakeRef(const uint8_t* path, FSRef* ref, Boolean* isDirectory);
OSStatus refMakePath(const FSRef* ref, uint8_t* path, uint32_t maxSize);
} // namespace Files::standIn
