#include "tools/auhost/AUSession.h"
#include "tools/kit/UsageError.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace
{

struct CFHolder
{
    CFTypeRef ref = nullptr;
    explicit CFHolder(CFTypeRef r) : ref(r) {}
    ~CFHolder()
    {
        if (ref)
            CFRelease(ref);
    }
    CFHolder(const CFHolder&) = delete;
    CFHolder& operator=(const CFHolder&) = delete;
};

CFTypeRef valueFor(CFDictionaryRef dictionary, const char* key)
{
    CFHolder name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
    return CFDictionaryGetValue(dictionary, name.ref);
}

OSType fourCharCode(CFTypeRef value, const char* key)
{
    if (!value || CFGetTypeID(value) != CFStringGetTypeID())
        throw AUError(std::string("the bundle's AudioComponents entry has no four-character \"") + key + "\"");
    const std::string text = utf8Of(static_cast<CFStringRef>(value));
    if (text.size() != 4)
        throw AUError(std::string("the bundle's AudioComponents \"") + key + "\" is not four characters: \"" + text + "\"");
    return (static_cast<OSType>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<OSType>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<OSType>(static_cast<unsigned char>(text[2])) << 8) | static_cast<unsigned char>(text[3]);
}

ComponentDescription readRegistration(const fs::path& bundle)
{
    const fs::path plist = bundle / "Contents" / "Info.plist";
    std::ifstream in(plist, std::ios::binary);
    if (!in)
        throw AUError("not a component bundle: " + plist.string() + " is missing");
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CFHolder data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    CFHolder list(CFPropertyListCreateFromXMLData(nullptr, static_cast<CFDataRef>(data.ref), kCFPropertyListImmutable, nullptr));
    if (!list.ref || CFGetTypeID(list.ref) != CFDictionaryGetTypeID())
        throw AUError("cannot read " + plist.string() + ": not a property list dictionary");
    CFTypeRef components = valueFor(static_cast<CFDictionaryRef>(list.ref), "AudioComponents");
    if (!components || CFGetTypeID(components) != CFArrayGetTypeID() || CFArrayGetCount(static_cast<CFArrayRef>(components)) < 1)
        throw AUError(plist.string() + " registers no component (no AudioComponents entry)");
    CFTypeRef entry = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(components), 0);
    if (!entry || CFGetTypeID(entry) != CFDictionaryGetTypeID())
        throw AUError(plist.string() + ": the AudioComponents entry is not a dictionary");
    auto dictionary = static_cast<CFDictionaryRef>(entry);
    ComponentDescription description{};
    description.componentType = fourCharCode(valueFor(dictionary, "type"), "type");
    description.componentSubType = fourCharCode(valueFor(dictionary, "subtype"), "subtype");
    description.componentManufacturer = fourCharCode(valueFor(dictionary, "manufacturer"), "manufacturer");
    return description;
}

std::string folded(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (c != ' ')
            out += static_cast<char>(std::tolower(c));
    return out;
}

} // namespace

std::string utf8Of(CFStringRef text)
{
    if (!text)
        return {};
    char buffer[1024];
    if (!CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        return "?";
    return buffer;
}

std::string describeStatus(OSStatus status)
{
    const char* name = nullptr;
    switch (status)
    {
    case paramErr: name = "paramErr"; break;
    case memFullErr: name = "memFullErr"; break;
    case fnfErr: name = "file not found"; break;
    case badComponentSelector: name = "badComponentSelector"; break;
    case kAudioUnitErr_InvalidProperty: name = "kAudioUnitErr_InvalidProperty"; break;
    case kAudioUnitErr_InvalidParameter: name = "kAudioUnitErr_InvalidParameter"; break;
    case kAudioUnitErr_InvalidElement: name = "kAudioUnitErr_InvalidElement"; break;
    case kAudioUnitErr_InvalidScope: name = "kAudioUnitErr_InvalidScope"; break;
    case kAudioUnitErr_FormatNotSupported: name = "kAudioUnitErr_FormatNotSupported"; break;
    case kAudioUnitErr_InvalidPropertyValue: name = "kAudioUnitErr_InvalidPropertyValue"; break;
    case -32767: name = "the component failed (see its message)"; break;
    default: break;
    }
    return "Mac OS error " + std::to_string(status) + (name ? std::string(" (") + name + ")" : std::string());
}

void check(OSStatus status, const std::string& what)
{
    if (status != noErr)
        throw AUError(what + " failed: " + describeStatus(status));
}

std::string fourCharText(UInt32 code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const unsigned char c = static_cast<unsigned char>(code >> shift);
        if (std::isprint(c))
            text += static_cast<char>(c);
        else
        {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            text += hex;
        }
    }
    return text;
}

AUSession::AUSession(const fs::path& bundle)
{
    std::error_code ec;
    if (!fs::is_directory(bundle, ec))
        throw AUError("no component bundle at " + bundle.string());
    registered = readRegistration(bundle);
    FSRef ref{};
    check(FSPathMakeRef(reinterpret_cast<const UInt8*>(fs::absolute(bundle).c_str()), &ref, nullptr), "locating the bundle");
    check(RegisterComponentFileRef(&ref, 0), "registering " + bundle.string());
    ComponentDescription looking = registered;
    found = FindNextComponent(nullptr, &looking);
    if (!found)
        throw AUError("the component " + fourCharText(registered.componentType) + "/" + fourCharText(registered.componentSubType) +
                      "/" + fourCharText(registered.componentManufacturer) + " of " + bundle.string() + " is not registered");
    check(OpenAComponent(found, &instance), "opening the component");
}

AUSession::~AUSession()
{
    if (instance)
        CloseComponent(instance);
}

std::string AUSession::name() const
{
    Handle text = NewHandle(256);
    std::string name;
    ComponentDescription description{};
    if (text && GetComponentInfo(found, &description, text, nullptr, nullptr) == noErr && GetHandleSize(text) > 0)
    {
        const auto* pascal = reinterpret_cast<const unsigned char*>(*text);
        name.assign(reinterpret_cast<const char*>(pascal + 1), std::min<size_t>(pascal[0], static_cast<size_t>(GetHandleSize(text)) - 1));
    }
    if (text)
        DisposeHandle(text);
    return name;
}

std::vector<AUParameter> AUSession::parameters() const
{
    UInt32 size = 0;
    Boolean writable = false;
    check(AudioUnitGetPropertyInfo(instance, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size, &writable),
          "asking for the parameter list");
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    if (!ids.empty())
        check(AudioUnitGetProperty(instance, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(), &size),
              "reading the parameter list");
    std::vector<AUParameter> list;
    for (AudioUnitParameterID id : ids)
    {
        AUParameter p;
        p.id = id;
        UInt32 infoSize = sizeof(p.info);
        check(AudioUnitGetProperty(instance, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &p.info, &infoSize),
              "reading parameter " + std::to_string(id));
        p.name = (p.info.flags & kAudioUnitParameterFlag_HasCFNameString) ? utf8Of(p.info.cfNameString) : std::string(p.info.name);
        p.unitName = utf8Of(p.info.unitName);
        CFArrayRef strings = nullptr;
        UInt32 stringsSize = sizeof(strings);
        if (AudioUnitGetProperty(instance, kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id, &strings,
                                 &stringsSize) == noErr &&
            strings)
        {
            for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
                p.valueStrings.push_back(utf8Of(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, i))));
            CFRelease(strings);
        }
        list.push_back(std::move(p));
    }
    return list;
}

const AUParameter& AUSession::findParameter(const std::vector<AUParameter>& list, const std::string& parameter)
{
    if (!parameter.empty() && std::all_of(parameter.begin(), parameter.end(), [](unsigned char c) { return std::isdigit(c); }))
    {
        for (const AUParameter& p : list)
            if (std::to_string(p.id) == parameter)
                return p;
        throw UsageError("no parameter with ID " + parameter + " (auhost info BUNDLE lists them)");
    }
    for (const AUParameter& p : list)
        if (p.name == parameter)
            return p;
    for (const AUParameter& p : list)
        if (folded(p.name) == folded(parameter))
            return p;
    throw UsageError("no parameter named \"" + parameter + "\" (auhost info BUNDLE lists them)");
}

void AUSession::setFormat(Float64 rate, UInt32 inputChannels)
{
    AudioStreamBasicDescription format{};
    format.mSampleRate = rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerPacket = 4;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = 4;
    format.mBitsPerChannel = 32;
    format.mChannelsPerFrame = inputChannels;
    check(AudioUnitSetProperty(instance, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof(format)),
          "setting a " + std::to_string(inputChannels) + "-channel input format");
    format.mChannelsPerFrame = 2;
    check(AudioUnitSetProperty(instance, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof(format)),
          "setting the output format");
}

void AUSession::setMaximumFrames(UInt32 frames)
{
    check(AudioUnitSetProperty(instance, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof(frames)),
          "setting the slice size to " + std::to_string(frames));
}

UInt32 AUSession::elementCount(AudioUnitScope scope) const
{
    UInt32 count = 0, size = sizeof(count);
    check(AudioUnitGetProperty(instance, kAudioUnitProperty_ElementCount, scope, 0, &count, &size), "reading the bus count");
    return count;
}

AudioStreamBasicDescription AUSession::streamFormat(AudioUnitScope scope, AudioUnitElement element) const
{
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof(format);
    check(AudioUnitGetProperty(instance, kAudioUnitProperty_StreamFormat, scope, element, &format, &size), "reading a stream format");
    return format;
}

Float64 AUSession::latency() const
{
    Float64 seconds = 0.0;
    UInt32 size = sizeof(seconds);
    check(AudioUnitGetProperty(instance, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &seconds, &size), "reading the latency");
    return seconds;
}
