#include "auadapter/ParameterMapping.h"

#include "auadapter/EOFException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"
#include "platform/Files.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr char kHeader[] = "vst param #\tname\tmin\tmax\tdisplay\tunit\tdefault\r";
const std::u16string kMappingFileName = u"TWParameters.txt";
constexpr int32_t kFirstElementMetaPosition = 23;
constexpr int32_t kLastElementMetaPosition = 39;

const char* skipSpaces(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

CFStringRef macRomanString(const char* text)
{
    CFStringRef string = CFStringCreateWithCString(nullptr, text, kCFStringEncodingMacRoman);
    if (!string)
        throw std::bad_alloc();
    return string;
}

// The names of a value-name list, split at every vertical bar.
CFArrayRef createValueStrings(const char* list)
{
    std::vector<CFStringRef> names;
    const char* start = list;
    for (;;)
    {
        const char* bar = std::strchr(start, '|');
        const std::string name = bar ? std::string(start, static_cast<size_t>(bar - start)) : std::string(start);
        names.push_back(macRomanString(name.c_str()));
        if (!bar)
            break;
        start = bar + 1;
    }
    CFArrayRef array = CFArrayCreate(nullptr, reinterpret_cast<const void**>(names.data()), static_cast<CFIndex>(names.size()),
                                     &kCFTypeArrayCallBacks);
    for (CFStringRef name : names)
        CFRelease(name);
    if (!array)
        throw std::bad_alloc();
    return array;
}

// One mapping line's fields; false when the line is not a valid mapping.
struct MappingLine
{
    int32_t index = -1;
    bool meta = false;
    char name[256] = {};
    float minValue = 0.0f, maxValue = 0.0f, defaultValue = 0.0f;
    const char* display = "";
    char displayBuffer[1024] = {};
    char unit[256] = {};
};

bool parseMappingLine(const char* text, int32_t parameterCount, MappingLine& line)
{
    char token[33] = {};
    const int fields = std::sscanf(text, "%32s%*[\t]%255[^\t]%*[\t]%f%*[\t]%f%*[\t]%1023[^\t]%*[\t]%255[^\t]%*[\t]%f", token,
                                   line.name, &line.minValue, &line.maxValue, line.displayBuffer, line.unit, &line.defaultValue);
    if (fields != 7)
        return false;
    line.display = skipSpaces(line.displayBuffer);
    size_t tokenLength = std::strlen(token);
    if (tokenLength > 0 && token[tokenLength - 1] == '+')
    {
        line.meta = true;
        token[--tokenLength] = '\0';
    }
    errno = 0;
    const long index = std::strtol(token, nullptr, 10);
    if (errno == ERANGE || index < 0 || index >= parameterCount)
        return false;
    line.index = static_cast<int32_t>(index);
    // Infinite or NaN bounds would turn every scaled value into NaN.
    if (!std::isfinite(line.minValue) || !std::isfinite(line.maxValue) || !std::isfinite(line.defaultValue))
        return false;
    if (!(line.minValue < line.maxValue) || !(line.minValue <= line.defaultValue && line.defaultValue <= line.maxValue))
        return false;
    return *line.display != '\0';
}

} // namespace

const uint8_t* readLine(const uint8_t* position, const uint8_t* end, char* line)
{
    if (!position || position >= end)
        throw EOFException("End of file error");
    size_t length = 0;
    while (position < end && *position != '\r' && *position != '\n' && length < kLineBufferSize - 1)
        line[length++] = static_cast<char>(*position++);
    line[length] = '\0';
    while (position < end && *position != '\r' && *position != '\n')
        ++position;
    if (position < end && *position == '\r')
    {
        ++position;
        if (position < end && *position == '\n')
            ++position;
    }
    else if (position < end && *position == '\n')
        ++position;
    return position;
}

std::unique_ptr<uint8_t[]> loadFromFile(const FSRef& file, size_t& length)
{
    std::unique_ptr<uint8_t[]> bytes;
    length = 0;
    const OSStatus status = Files::readAll(file, bytes, length);
    if (status != noErr)
        throw MacOSException(status);
    return bytes;
}

void parseParameterMapping(const uint8_t* data, size_t length, ParameterTables& tables)
{
    const uint8_t* position = data;
    const uint8_t* end = data + length;
    char text[kLineBufferSize];
    position = readLine(position, end, text); // the header
    MappingLine line;
    while (position < end)
    {
        position = readLine(position, end, text);
        const char* start = skipSpaces(text);
        if (*start == '\0' || *start == ';')
            continue;
        line = MappingLine{};
        if (!parseMappingLine(start, tables.parameterCount, line))
            continue;
        AudioUnitParameterInfo& info = tables.infos[line.index];
        if (info.cfNameString)
            continue; // the first valid line for a parameter wins
        if (*tables.auParameterCount >= TwinfoldComponent::kMaxAUParameters)
            throw TwinfoldException("Too many mapped parameters");

        AudioUnitParameterInfo record{};
        std::memcpy(record.name, line.name, strnlen(line.name, sizeof(record.name) - 1));
        const bool hasUnitName = line.unit[0] != '\0' && std::strcmp(line.unit, "-") != 0;
        record.clumpID = 0;
        record.minValue = line.minValue;
        record.maxValue = line.maxValue;
        record.defaultValue = line.defaultValue;
        record.flags = kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
                       kAudioUnitParameterFlag_HasCFNameString;
        CFArrayRef valueStrings = nullptr;
        if (std::strcmp(line.display, "=") == 0 || std::strcmp(line.display, "?") == 0)
        {
            record.unit = hasUnitName ? kAudioUnitParameterUnit_CustomUnit : kAudioUnitParameterUnit_Generic;
            if (line.display[0] == '?')
                record.flags |= kAudioUnitParameterFlag_ValuesHaveStrings;
        }
        else if (std::strcmp(line.display, "b") == 0)
        {
            record.unit = kAudioUnitParameterUnit_Boolean;
            record.minValue = 0.0f;
            record.maxValue = 1.0f;
        }
        else
        {
            valueStrings = createValueStrings(line.display);
            record.unit = kAudioUnitParameterUnit_Indexed;
            record.minValue = 0.0f;
            record.maxValue = static_cast<float>(CFArrayGetCount(valueStrings) - 1);
        }
        if (line.meta)
            record.flags |= kAudioUnitParameterFlag_IsGlobalMeta;
        const int32_t listPosition = *tables.auParameterCount;
        if (listPosition >= kFirstElementMetaPosition && listPosition <= kLastElementMetaPosition)
            record.flags |= kAudioUnitParameterFlag_IsElementMeta;
        record.unitName = hasUnitName ? macRomanString(line.unit) : nullptr;
        record.cfNameString = macRomanString(line.name);

        tables.auParameterList[(*tables.auParameterCount)++] = static_cast<UInt32>(line.index);
        info = record;
        tables.valueStrings[line.index] = valueStrings;
    }
}

void releaseParameterTables(ParameterTables& tables)
{
    for (int32_t i = 0; i < tables.parameterCount; ++i)
    {
        AudioUnitParameterInfo& info = tables.infos[i];
        if (info.unitName)
            CFRelease(info.unitName);
        if (info.cfNameString)
            CFRelease(info.cfNameString);
        info = AudioUnitParameterInfo{};
        if (tables.valueStrings[i])
            CFRelease(tables.valueStrings[i]);
        tables.valueStrings[i] = nullptr;
    }
    *tables.auParameterCount = 0;
}

AudioUnitParameterValue scaleToAUParameter(const AudioUnitParameterInfo& info, float value)
{
    const float scaled = (info.maxValue - info.minValue) * value + info.minValue;
    if (info.unit == kAudioUnitParameterUnit_Indexed || info.unit == kAudioUnitParameterUnit_Boolean)
        return std::floor(scaled + 0.5f);
    return scaled;
}

float scaleFromAUParameter(const AudioUnitParameterInfo& info, AudioUnitParameterValue value)
{
    const float range = info.maxValue - info.minValue;
    // A one-name list has no range: every value is its one value.
    if (range == 0.0f)
        return 0.0f;
    return (value - info.minValue) / range;
}

bool parseWholeNumber(const char* text, double& value)
{
    if (!text || *text == '\0')
        return false;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

size_t formatDefaultMappingLine(const ProbedParameter& p, bool hasExtensions, char* out, size_t size)
{
    const char* name = skipSpaces(p.name);
    const char* label = skipSpaces(p.label);
    if (*name == '\0')
        name = "-";
    if (*label == '\0')
        label = "-";
    double d0 = 0, dh = 0, d1 = 0, dc = 0;
    const bool linear = parseWholeNumber(p.display0, d0) && parseWholeNumber(p.displayHalf, dh) &&
                        parseWholeNumber(p.display1, d1) && parseWholeNumber(p.displayCurrent, dc) &&
                        std::fabs(dh - (d0 + d1) * 0.5) <= 0.0001;
    int written;
    if (linear)
        written = std::snprintf(out, size, "%d\t%s\t%g\t%g\t%c\t%s\t%g\r", p.index, name, d0, d1, '=', label, dc);
    else if (hasExtensions)
        written = std::snprintf(out, size, "%d\t%s\t%g\t%g\t%c\t%s\t%g\r", p.index, name, 0.0, 1.0, '?', label,
                                static_cast<double>(p.value));
    else
        written = std::snprintf(out, size, "%d\t%s\t%g\t%g\t%c\t%s\t%g\r", p.index, name, 0.0, 1.0, '=', "-",
                                static_cast<double>(p.value));
    if (written < 0)
        return 0;
    return std::min(static_cast<size_t>(written), size - 1);
}

void TwinfoldComponent::readOrCreateParameterMapping()
{
    FSRef file{};
    OSStatus status = Files::makeRef(resourcesFolder, kMappingFileName, file);
    if (status == fnfErr)
    {
        // An installed bundle carries the file; one that lacks it gets it
        // written, and a folder that cannot be written is read from memory.
        const std::string text = defaultParameterMapping();
        status = Files::createFileWithContents(resourcesFolder, kMappingFileName, text.data(), text.size());
        if (status != noErr)
        {
            ParameterTables tables = parameterTables();
            parseParameterMapping(reinterpret_cast<const uint8_t*>(text.data()), text.size(), tables);
            return;
        }
        status = Files::makeRef(resourcesFolder, kMappingFileName, file);
    }
    if (status != noErr)
        throw MacOSException(status);
    readParameterMapping(file);
}

void TwinfoldComponent::createDefaultParameterMappingFile(const FSRef& file)
{
    const std::string text = defaultParameterMapping();
    Files::WriteFork fork;
    OSStatus status = fork.open(file);
    if (status == noErr)
        status = fork.write(text.data(), text.size());
    if (status == noErr)
        status = fork.close();
    if (status != noErr)
        throw MacOSException(status);
}

std::string TwinfoldComponent::defaultParameterMapping()
{
    std::string text = kHeader;
    for (int32_t i = 0; i < plugIn->getParameterCount(); ++i)
    {
        char name[25], label[25], current[25], at0[25], atHalf[25], at1[25];
        plugIn->getParameterName(i, name);
        plugIn->getParameterLabel(i, label);
        const float value = plugIn->getParameter(i);
        plugIn->getParameterDisplay(i, current);
        plugIn->setParameter(i, 0.0f);
        plugIn->getParameterDisplay(i, at0);
        plugIn->setParameter(i, 0.5f);
        plugIn->getParameterDisplay(i, atHalf);
        plugIn->setParameter(i, 1.0f);
        plugIn->getParameterDisplay(i, at1);
        plugIn->setParameter(i, value);

        ProbedParameter probed{i, name, label, current, at0, atHalf, at1, value};
        char line[256];
        text.append(line, formatDefaultMappingLine(probed, hasExtensions, line, sizeof(line)));
    }
    return text;
}

ParameterTables TwinfoldComponent::parameterTables()
{
    return ParameterTables{parameterTableSize, &auParameterCount, auParameterList, parameterInfos.get(),
                           parameterValueStrings.get()};
}

void TwinfoldComponent::readParameterMapping(const FSRef& file)
{
    size_t length = 0;
    const std::unique_ptr<uint8_t[]> bytes = loadFromFile(file, length);
    ParameterTables tables = parameterTables();
    parseParameterMapping(bytes.get(), length, tables);
}
