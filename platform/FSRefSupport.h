// FSRef and its two path conversions come from the platform library. Until
// its headers are part of the build, an internal stand-in with the same
// names and layout lets the file layer build and be tested on its own.
#pragma once

#if __has_include(<CoreServices/CoreServices.h>)
#include <CoreServices/CoreServices.h>
#else
#include <cstdint>

struct FSRef
{
    uint8_t hidden[80];
};
extern "C" int32_t FSPathMakeRef(const uint8_t* path, FSRef* ref, unsigned char* isDirectory);
extern "C" int32_t FSRefMakePath(const FSRef* ref, uint8_t* path, uint32_t maxSize);
#define DC_FSREF_STAND_IN 1
#endif
