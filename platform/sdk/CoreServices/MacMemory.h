// Memory Manager handles: a pointer to a block whose size the library keeps.
#pragma once

#include <CoreServices/MacTypes.h>

DC_EXTERN_C_BEGIN

// A zero-filled block of `byteCount` bytes; null when out of memory.
DC_PLATFORM_EXPORT Handle NewHandle(Size byteCount); // [any thread]
DC_PLATFORM_EXPORT void DisposeHandle(Handle h); // [any thread]
// 0 for a null handle.
DC_PLATFORM_EXPORT Size GetHandleSize(Handle h); // [any thread]
// Keeps the contents up to the smaller size; new bytes are zero. The block
// may move (*h changes); a failure leaves it as it was.
DC_PLATFORM_EXPORT void SetHandleSize(Handle h, Size newSize); // [any thread]

DC_EXTERN_C_END
