// AudioUnit preset documents: a dictionary that wraps one FXP or FXB record
// with the component's identity, stored as an XML property list. Free
// helpers shared by the saved state, the factory presets and the
// conversion of VST preset files.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Document keys.
#define kAUPresetVersionKey "version"
#define kAUPresetTypeKey "type"
#define kAUPresetSubtypeKey "subtype"
#define kAUPresetManufacturerKey "manufacturer"
#define kAUPresetNameKey "name"
#define kAUPresetVSTDataKey "vstdata"
#define kAUPresetProgramNumberKey "ProgramNumber"

constexpr int32_t kAUPresetVersion = 1;

// A new mutable dictionary (Create rule) with "version" 1, the three codes
// of `description`, `name` and a copy of the record as "vstdata".
CFMutableDictionaryRef createAUPresetDocument(const ComponentDescription& description, size_t length,
                                              const uint8_t* bytes, CFStringRef name); // [UI thread]

// The value stored under `key`; throws TwinfoldException "Missing key in
// dictionary" when there is none and FormatException "Value in dictionary
// is not of expected type" when it is not of `type`. Get rule.
CFTypeRef getDictionaryValue(CFDictionaryRef dictionary, const char* key, CFTypeID type); // [any thread]
// Checks that `key` holds a number whose 32-bit value is `expected`; throws
// as getDictionaryValue, or FormatException "Data in dictionary is not of
// expected value".
void checkDictionaryInt32(CFDictionaryRef dictionary, const char* key, int32_t expected); // [any thread]
// Stores `value` under `key` as a 32-bit signed number.
void setDictionaryInt32(CFMutableDictionaryRef dictionary, const char* key, int32_t value); // [any thread]

// Writes the XML form of `list` into the data fork of `file` from its start
// (no truncation: hand it a new file). Throws MacOSException for a file
// failure, TwinfoldException when the list cannot be serialised.
void saveProperties(CFPropertyListRef list, const FSRef& file); // [UI thread]

// The subfolder `name` (`length` ASCII bytes) of `folder`, created when
// missing. Throws MacOSException.
void descendOrCreateFolder(const FSRef& folder, size_t length, const char* name, FSRef& out); // [UI thread]

// Parses a whole file's bytes as a property list (immutable, Create rule).
// Throws TwinfoldException "Could not create property list from XML data (%s)"
// with the parser's text, or without it when the parser gives none.
CFPropertyListRef createPropertyListFromBytes(const uint8_t* bytes, size_t length); // [UI thread]

// At most `maxLength` characters of `text` in Mac Roman; a character without
// a Mac Roman form becomes "?".
std::string macRomanString(CFStringRef text, size_t maxLength); // [any thread]
