// The parameter mapping file "TWParameters.txt": which effect parameters an
// AudioUnit host sees, in which order, with which names, ranges, units,
// defaults and value names. Also the line reader and file loader the
// adapter's other text files share.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <cstddef>
#include <cstdint>
#include <memory>

// Room of a line buffer for readLine: 2047 characters and a NUL.
constexpr size_t kLineBufferSize = 2048;

// Copies the line at `position` into `line` (at most 2047 characters; the
// rest of a longer line is skipped), steps over its CR, LF or CR LF and
// returns the position of the next line. Throws EOFException "End of file
// error" when `position` is at or after `end`.
const uint8_t* readLine(const uint8_t* position, const uint8_t* end, char* line); // [any thread]

// The whole data fork of `file`, owned by the caller. Throws MacOSException
// with the file layer's code.
std::unique_ptr<uint8_t[]> loadFromFile(const FSRef& file, size_t& length); // [UI thread]

// The tables a mapping fills. `infos` and `valueStrings` have
// `parameterCount` entries, zeroed before the first line.
struct ParameterTables
{
    int32_t parameterCount = 0;
    int32_t* auParameterCount = nullptr;
    UInt32* auParameterList = nullptr; // room for 1024 IDs
    AudioUnitParameterInfo* infos = nullptr;
    CFArrayRef* valueStrings = nullptr;
};

// Reads a whole mapping file's bytes into `tables`. The header line is
// skipped; invalid lines are ignored. Throws EOFException for an empty file
// and TwinfoldException "Too many mapped parameters" past 1024 entries.
void parseParameterMapping(const uint8_t* data, size_t length, ParameterTables& tables); // [UI thread]
// Releases the strings and arrays parseParameterMapping stored.
void releaseParameterTables(ParameterTables& tables); // [UI thread]

// Effect value (0..1) to the parameter's AudioUnit value, and back.
AudioUnitParameterValue scaleToAUParameter(const AudioUnitParameterInfo& info, float value); // [any thread]
float scaleFromAUParameter(const AudioUnitParameterInfo& info, AudioUnitParameterValue value); // [any thread]

// One line of the default file, CR-terminated, from the effect's name and
// label and its display texts at the current value, 0, 0.5 and 1.
// `hasExtensions`: the effect converts values to texts itself.
struct ProbedParameter
{
    int32_t index = 0;
    const char* name = "";
    const char* label = "";
    const char* displayCurrent = "";
    const char* display0 = "";
    const char* displayHalf = "";
    const char* display1 = "";
    float value = 0.0f;
};
// Writes at most `size` bytes (NUL included) and returns the line's length.
size_t formatDefaultMappingLine(const ProbedParameter& parameter, bool hasExtensions, char* out, size_t size);
// True when `text` is entirely one floating-point number.
bool parseWholeNumber(const char* text, double& value);
