// Basic types and result codes of the platform API, with their published
// names, sizes and values (LP64).
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#define DC_EXTERN_C_BEGIN extern "C" {
#define DC_EXTERN_C_END }
#else
#define DC_EXTERN_C_BEGIN
#define DC_EXTERN_C_END
#endif
// Functions and variables of the platform library carry default visibility;
// everything else in it is hidden.
#define DC_PLATFORM_EXPORT extern __attribute__((visibility("default")))

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef UInt8 Byte;
typedef SInt8 SignedByte;
typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef unsigned char Boolean;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef UInt16 UniChar;
typedef UInt32 UTF32Char;

typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str31[32];
typedef unsigned char* StringPtr;
typedef const unsigned char* ConstStringPtr;
typedef const unsigned char* ConstStr255Param;

// noErr and the other result codes (one enum, so they mix in expressions).
#include <CoreServices/MacErrors.h>
