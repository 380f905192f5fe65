// Result codes of the platform services: the published ones come from the
// platform library's headers; the adapter's own catch-all is added here.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

// Any failure without a code of its own.
constexpr OSStatus kUnknownFailure = -32767;

// File Manager results of the file layer (platform/Files.h) that the
// platform headers do not declare.
constexpr OSStatus dskFulErr = -34;
constexpr OSStatus fBsyErr = -47;
constexpr OSStatus errFSNotAFile = -1302;
