// Result codes of the platform services: the published ones come from the
// platform library's headers; the adapter's own catch-all is added here.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

// Any failure without a code of its own.
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
