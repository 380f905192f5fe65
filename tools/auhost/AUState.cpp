#include "tools/auhost/AUState.h"

#include "tools/auhost/AUCommandLine.h"
#include "tools/kit/FileChecks.h"
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/ToolMain.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace
{

constexpr std::streamoff kMaxFileBytes = 256 << 20;

void setNumber(CFMutableDictionaryRef dictionary, const char* key, SInt32 value)
{
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dictionary, __CFStringMakeConstantString(key), number);
    CFRelease(number);
}

// A refusal of a document: the unit's code, with the cause the file shows.
[[noreturn]] void refused(AUSession& session, OSStatus status, const fs::path& file, const std::vector<uint8_t>& bytes)
{
    std::string cause;
    if (!vstPresetKind(bytes).empty() && bytes.size() >= 20)
    {
        const UInt32 id = (UInt32(bytes[16]) << 24) | (UInt32(bytes[17]) << 16) | (UInt32(bytes[18]) << 8) | bytes[19];
        if (id != session.description().componentSubType)
            cause = "; the file is for the plug-in '" + fourCharText(id) + "', the unit is '" +
                    fourCharText(session.description().componentSubType) + "'";
    }
    throw AUError(file.string() + " is not a state of this component (" + describeStatus(status) + cause + ")");
}

void restoreDocument(AUSession& session, CFPropertyListRef document, const fs::path& file, const std::vector<uint8_t>& bytes)
{
    const OSStatus status = AudioUnitSetProperty(session.unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                                 &document, sizeof(document));
    CFRelease(document);
    if (status == kAudioUnitErr_InvalidPropertyValue)
        refused(session, status, file, bytes);
    check(status, "restoring " + file.string());
}

} // namespace

std::vector<uint8_t> readWholeFile(const fs::path& file)
{
    checkReadable(file, "file");
    std::ifstream in(file, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (!in || size < 0)
        throw FileError("cannot read " + file.string());
    if (size > kMaxFileBytes)
        throw FileError(file.string() + " is too large for a preset (" + std::to_string(size) + " bytes)");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in)
        throw FileError("cannot read " + file.string());
    return bytes;
}

CFPropertyListRef parsePropertyList(const std::vector<uint8_t>& bytes, const std::string& what)
{
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()));
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &error);
    CFRelease(data);
    const std::string reason = error ? utf8Of(error) : "not a property list";
    if (error)
        CFRelease(error);
    if (!list)
        throw AUError(what + " is not a property list (" + reason + ")");
    return list;
}

std::string vstPresetKind(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "CcnK", 4) != 0)
        return {};
    const char* form = reinterpret_cast<const char*>(bytes.data() + 8);
    if (std::memcmp(form, "FxBk", 4) == 0 || std::memcmp(form, "FBCh", 4) == 0)
        return "bank";
    return "program";
}

void restoreStateFile(AUSession& session, const fs::path& file)
{
    const std::vector<uint8_t> bytes = readWholeFile(file);
    const std::string kind = vstPresetKind(bytes);
    if (!kind.empty())
        throw UsageError(file.string() + " is a VST " + kind + " (" + (kind == "bank" ? "FXB" : "FXP") +
                         "), not an AudioUnit state: load it with --preset " + file.string() +
                         ", or convert it to an .aupreset first with auhost convert BUNDLE " + file.string());
    restoreDocument(session, parsePropertyList(bytes, file.string()), file, bytes);
}

void loadPresetFile(AUSession& session, const fs::path& file)
{
    const std::vector<uint8_t> bytes = readWholeFile(file);
    if (vstPresetKind(bytes).empty())
    {
        restoreDocument(session, parsePropertyList(bytes, file.string()), file, bytes);
        return;
    }
    // A program keeps the name its record carries; a bank takes the file's.
    std::string name = file.stem().string();
    if (vstPresetKind(bytes) == "program" && bytes.size() >= 56)
    {
        const char* field = reinterpret_cast<const char*>(bytes.data() + 28);
        const std::string own(field, strnlen(field, 24));
        if (own.find_first_not_of(' ') != std::string::npos)
            name = own;
    }
    restoreDocument(session, createStateDocument(session, bytes, name), file, bytes);
}

CFDictionaryRef createStateDocument(AUSession& session, const std::vector<uint8_t>& record, const std::string& name)
{
    const ComponentDescription& codes = session.description();
    CFMutableDictionaryRef document =
        CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    setNumber(document, "version", 1);
    setNumber(document, "type", static_cast<SInt32>(codes.componentType));
    setNumber(document, "subtype", static_cast<SInt32>(codes.componentSubType));
    setNumber(document, "manufacturer", static_cast<SInt32>(codes.componentManufacturer));
    CFStringRef title = CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8);
    if (!title)
        title = CFStringCreateWithCString(kCFAllocatorDefault, "Untitled", kCFStringEncodingUTF8);
    CFDictionarySetValue(document, CFSTR("name"), title);
    CFRelease(title);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, record.data(), static_cast<CFIndex>(record.size()));
    CFDictionarySetValue(document, CFSTR("vstdata"), data);
    CFRelease(data);
    return document;
}

void selectFactoryPreset(AUSession& session, int32_t number)
{
    AUPreset preset{number, nullptr};
    const OSStatus status = AudioUnitSetProperty(session.unit(), kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global,
                                                 0, &preset, sizeof(preset));
    if (status == kAudioUnitErr_InvalidPropertyValue)
        throw AUError("no factory preset " + std::to_string(number) + " (see auhost presets)");
    check(status, "selecting factory preset " + std::to_string(number));
}

void applySettings(AUSession& session, const std::vector<ParameterSetting>& settings)
{
    if (settings.empty())
        return;
    const std::vector<AUParameter> parameters = session.parameters();
    for (const ParameterSetting& setting : settings)
    {
        const AUParameter& p = session.findParameter(parameters, setting.parameter);
        if (setting.value < p.info.minValue || setting.value > p.info.maxValue)
        {
            std::string unit = p.unitName;
            unit.erase(unit.find_last_not_of(' ') + 1);
            char text[256];
            std::snprintf(text, sizeof(text), "bad --set \"%s=%g\": %s runs from %g to %g%s%s", setting.parameter.c_str(),
                          setting.value, p.name.c_str(), p.info.minValue, p.info.maxValue, unit.empty() ? "" : " ", unit.c_str());
            throw UsageError(text);
        }
        check(AudioUnitSetParameter(session.unit(), p.id, kAudioUnitScope_Global, 0, setting.value, 0), "setting " + p.name);
    }
}

void prepareUnit(AUSession& session, const AUCommandLine& line)
{
    if (!line.state.empty())
        restoreStateFile(session, line.state);
    if (!line.presetFile.empty())
        loadPresetFile(session, line.presetFile);
    if (line.factory >= 0)
        selectFactoryPreset(session, line.factory);
    applySettings(session, line.settings);
}

void nameCurrentPreset(AUSession& session, const std::string& name)
{
    CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8);
    if (!text)
        throw UsageError("bad --name \"" + name + "\": not UTF-8 text");
    AUPreset preset{-1, text};
    const OSStatus status = AudioUnitSetProperty(session.unit(), kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global,
                                                 0, &preset, sizeof(preset));
    CFRelease(text);
    check(status, "naming the state \"" + name + "\"");
}

std::vector<uint8_t> stateDocumentBytes(AUSession& session)
{
    CFPropertyListRef document = nullptr;
    UInt32 size = sizeof(document);
    check(AudioUnitGetProperty(session.unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &document, &size),
          "reading the unit's state");
    CFDataRef xml = CFPropertyListCreateXMLData(kCFAllocatorDefault, document);
    CFRelease(document);
    if (!xml)
        throw AUError("the unit's state cannot be written as a property list");
    const UInt8* bytes = CFDataGetBytePtr(xml);
    std::vector<uint8_t> out(bytes, bytes + CFDataGetLength(xml));
    CFRelease(xml);
    return out;
}

void writeFileSafely(const fs::path& target, const std::vector<uint8_t>& bytes)
{
    ReplacingFile file(target);
    file.write(bytes.data(), bytes.size());
    file.commit();
}
