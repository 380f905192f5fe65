// Result codes of the platform services, under their published names and values.
#pragma once

#include <cstdint>

using OSStatus = int32_t;

constexpr OSStatus noErr = 0;
constexpr OSStatus eofErr = -39;
constexpr OSStatus fnfErr = -43;
constexpr OSStatus paramErr = -50;
constexpr OSStatus memFullErr = -108;
constexpr OSStatus badComponentSelector = static_cast<OSStatus>(0x80008002u);
constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
constexpr OSStatus kUnknownFailure = -32767;
