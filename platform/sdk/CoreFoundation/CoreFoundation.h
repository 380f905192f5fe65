// The CoreFoundation subset: reference-counted values (strings, arrays,
// dictionaries, numbers, booleans, data, URLs), property lists and the main
// bundle, with the published names, ownership rules and values.
//
// Ownership: a function with Create or Copy in its name returns an object the
// caller owns and must CFRelease; a Get function returns one it does not own.
// Objects are not thread-safe beyond their reference counts, which any
// thread may change.
#pragma once

#include <CoreServices/MacTypes.h>

DC_EXTERN_C_BEGIN

// ---------------------------------------------------------------- CFBase
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef const void* CFTypeRef;
typedef UInt32 CFStringEncoding;

typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFData* CFMutableDataRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef CFTypeRef CFPropertyListRef;

// Only the default allocator exists.
#define kCFAllocatorDefault ((CFAllocatorRef)0)

typedef struct
{
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex loc, CFIndex len)
{
    CFRange range = {loc, len};
    return range;
}

typedef CFIndex CFComparisonResult;
enum
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};

enum
{
    kCFNotFound = -1
};

// Returns cf (retained).
DC_PLATFORM_EXPORT CFTypeRef CFRetain(CFTypeRef cf); // [any thread]
// The release that drops the count to 0 frees the object.
DC_PLATFORM_EXPORT void CFRelease(CFTypeRef cf); // [any thread]
DC_PLATFORM_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf); // [any thread]
DC_PLATFORM_EXPORT CFTypeID CFGetTypeID(CFTypeRef cf); // [any thread]
// Same type and same value (strings, numbers, data, URLs by contents; arrays
// and dictionaries element by element).
DC_PLATFORM_EXPORT Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2); // [any thread]

// ---------------------------------------------------------------- CFString
enum
{
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingWindowsLatin1 = 0x0500,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingNextStepLatin = 0x0B01,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUnicode = 0x0100,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingNonLossyASCII = 0x0BFF,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingUTF32 = 0x0c000100,
    kCFStringEncodingInvalidId = (int)0xffffffffU
};

typedef CFOptionFlags CFStringCompareFlags;
enum
{
    kCFCompareCaseInsensitive = 1,
    kCFCompareBackwards = 4,
    kCFCompareAnchored = 8,
    kCFCompareNonliteral = 16,
    kCFCompareLocalized = 32,
    kCFCompareNumerically = 64
};

DC_PLATFORM_EXPORT CFTypeID CFStringGetTypeID(void); // [any thread]
// Encodings: MacRoman, ASCII (bytes above 0x7F refused), ISO Latin 1 and
// UTF-8 (ill-formed input refused). Null on failure.
DC_PLATFORM_EXPORT CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                                         CFStringEncoding encoding); // [any thread]
DC_PLATFORM_EXPORT CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                                            CFIndex numChars); // [any thread]
// Writes the string NUL-terminated; false (buffer holding an empty string
// when it has room) if it does not fit or a character has no code in the
// encoding.
DC_PLATFORM_EXPORT Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                                              CFStringEncoding encoding); // [any thread]
// Length in UTF-16 code units.
DC_PLATFORM_EXPORT CFIndex CFStringGetLength(CFStringRef theString); // [any thread]
DC_PLATFORM_EXPORT void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer); // [any thread]
DC_PLATFORM_EXPORT CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                                      CFStringCompareFlags compareOptions); // [any thread]
// A string that lives as long as the process (releases do not free it); the
// same text gives the same object.
DC_PLATFORM_EXPORT CFStringRef __CFStringMakeConstantString(const char* cStr); // [any thread]
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

// ---------------------------------------------------------------- CFArray
typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);
typedef struct
{
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
} CFArrayCallBacks;

// Retains and releases CF values.
DC_PLATFORM_EXPORT const CFArrayCallBacks kCFTypeArrayCallBacks;

DC_PLATFORM_EXPORT CFTypeID CFArrayGetTypeID(void); // [any thread]
// Null callbacks hold plain pointers (nothing retained or released).
DC_PLATFORM_EXPORT CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                                            const CFArrayCallBacks* callBacks); // [any thread]
DC_PLATFORM_EXPORT CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                          const CFArrayCallBacks* callBacks); // [any thread]
DC_PLATFORM_EXPORT void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value); // [any thread]
DC_PLATFORM_EXPORT CFIndex CFArrayGetCount(CFArrayRef theArray); // [any thread]
// Null for an index out of range.
DC_PLATFORM_EXPORT const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx); // [any thread]

// ---------------------------------------------------------------- CFDictionary
typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);
typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
} CFDictionaryKeyCallBacks;
typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
} CFDictionaryValueCallBacks;

// CF keys compared with CFEqual, CF values retained.
DC_PLATFORM_EXPORT const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
DC_PLATFORM_EXPORT const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

DC_PLATFORM_EXPORT CFTypeID CFDictionaryGetTypeID(void); // [any thread]
// Null callbacks compare and hold plain pointers.
DC_PLATFORM_EXPORT CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                                    const CFDictionaryKeyCallBacks* keyCallBacks,
                                                                    const CFDictionaryValueCallBacks* valueCallBacks); // [any thread]
// Adds or replaces; keys keep the order in which they were first added.
DC_PLATFORM_EXPORT void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value); // [any thread]
// Null when the key is absent.
DC_PLATFORM_EXPORT const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key); // [any thread]
DC_PLATFORM_EXPORT CFIndex CFDictionaryGetCount(CFDictionaryRef theDict); // [any thread]

// ---------------------------------------------------------------- CFNumber
typedef CFIndex CFNumberType;
enum
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
    kCFNumberNSIntegerType = 15,
    kCFNumberCGFloatType = 16,
    kCFNumberMaxType = 16
};

DC_PLATFORM_EXPORT CFTypeID CFNumberGetTypeID(void); // [any thread]
// Null for an unknown type or a null valuePtr.
DC_PLATFORM_EXPORT CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType,
                                              const void* valuePtr); // [any thread]
// Converts to theType; false when the value had to be changed to fit
// (truncated, out of range, NaN to an integer: then 0 or the nearest limit).
DC_PLATFORM_EXPORT Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr); // [any thread]

// ---------------------------------------------------------------- CFBoolean
DC_PLATFORM_EXPORT const CFBooleanRef kCFBooleanTrue;
DC_PLATFORM_EXPORT const CFBooleanRef kCFBooleanFalse;
DC_PLATFORM_EXPORT CFTypeID CFBooleanGetTypeID(void); // [any thread]
DC_PLATFORM_EXPORT Boolean CFBooleanGetValue(CFBooleanRef boolean); // [any thread]

// ---------------------------------------------------------------- CFData
DC_PLATFORM_EXPORT CFTypeID CFDataGetTypeID(void); // [any thread]
DC_PLATFORM_EXPORT CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length); // [any thread]
DC_PLATFORM_EXPORT CFIndex CFDataGetLength(CFDataRef theData); // [any thread]
DC_PLATFORM_EXPORT const UInt8* CFDataGetBytePtr(CFDataRef theData); // [any thread]

// ---------------------------------------------------------------- CFURL
DC_PLATFORM_EXPORT CFTypeID CFURLGetTypeID(void); // [any thread]
// A file URL for a path (made absolute against the working folder).
DC_PLATFORM_EXPORT CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer,
                                                                    CFIndex bufLen, Boolean isDirectory); // [any thread]
// The path, NUL-terminated; false when it does not fit.
DC_PLATFORM_EXPORT Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase,
                                                            UInt8* buffer, CFIndex maxBufLen); // [any thread]

// ---------------------------------------------------------------- CFPropertyList
typedef CFOptionFlags CFPropertyListMutabilityOptions;
enum
{
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2
};

// Apple's XML property-list format; null when the value holds something a
// property list cannot (a URL, a non-string dictionary key).
DC_PLATFORM_EXPORT CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator,
                                                         CFPropertyListRef propertyList); // [any thread]
// Reads XML and binary property lists. On failure returns null and, when
// errorString is not null, a description the caller owns.
DC_PLATFORM_EXPORT CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                                     CFOptionFlags mutabilityOption,
                                                                     CFStringRef* errorString); // [any thread]

// ---------------------------------------------------------------- CFBundle
#define kCFBundleIdentifierKey CFSTR("CFBundleIdentifier")
#define kCFBundleNameKey CFSTR("CFBundleName")
#define kCFBundleVersionKey CFSTR("CFBundleVersion")
#define kCFBundleExecutableKey CFSTR("CFBundleExecutable")
#define kCFBundleInfoDictionaryVersionKey CFSTR("CFBundleInfoDictionaryVersion")

DC_PLATFORM_EXPORT CFTypeID CFBundleGetTypeID(void); // [any thread]
// The .app folder holding the process's executable
// (X.app/Contents/<folder>/<executable> with X.app/Contents/Info.plist);
// outside one, a bundle without identifier and without info values.
DC_PLATFORM_EXPORT CFBundleRef CFBundleGetMainBundle(void); // [any thread]
DC_PLATFORM_EXPORT CFStringRef CFBundleGetIdentifier(CFBundleRef bundle); // [any thread]
DC_PLATFORM_EXPORT CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key); // [any thread]

DC_EXTERN_C_END
