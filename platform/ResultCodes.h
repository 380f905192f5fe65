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

// File Manager results of the file layer (platform/Files.h).
constexpr OSStatus dskFulErr = -34;
constexpr OSStatus ioErr = -36;
constexpr OSStatus bdNamErr = -37;
constexpr OSStatus fBsyErr = -47;
constexpr OSStatus dupFNErr = -48;
constexpr OSStatus permErr = -54;
constexpr OSStatus dirNFErr = -120;
constexpr OSStatus errFSNotAFile = -1302;
constexpr OSStatus errFSNoMoreItems = -1417;
