#include "tools/AUSession.h"

#include <algorithm>
#include <cctype>
#include <cstring>
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

std::string utf8(CFStringRef text)
{
    if (!text)
        return {};
    char buffer[1024];
    if (!CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        return {};
    return buffer;
}

CFTypeRef valueFor(CFDictionaryRef dictionary, const char* key)
{
    CFHolder name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
    return CFDictionaryGetValue(dictionary, name.ref);
}

OSType fourCharCode(CFTypeRef value, const char* key)
{
    if (!value || CFGetTypeID(value) != CFStringGetTypeID())
        throw AUError(std::string("the bundle's AudioComponents entry has no four-character \"") + key + "\"");
    const std::string text = utf8(static_cast<CFStringRef>(value));
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

struct RenderInput
{
    const AURenderJob* job;
    size_t start;
};

OSStatus provideInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                      AudioBufferList* list)
{
    const auto* state = static_cast<const RenderInput*>(refCon);
    const AURenderJob& job = *state->job;
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
    {
        auto* out = static_cast<float*>(list->mBuffers[c].mData);
        if (!out)
            return paramErr;
        const UInt32 source = std::min(c, job.inputChannels - 1);
        for (UInt32 i = 0; i < frames; ++i)
        {
            const size_t frame = state->start + i;
            out[i] = frame < job.frames ? job.input[frame * job.inputChannels + source] : 0.0f;
        }
    }
    return noErr;
}

} // namespace

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
        p.name = (p.info.flags & kAudioUnitParameterFlag_HasCFNameString) ? utf8(p.info.cfNameString) : std::string(p.info.name);
        p.unitName = utf8(p.info.unitName);
        CFArrayRef strings = nullptr;
        UInt32 stringsSize = sizeof(strings);
        if (AudioUnitGetProperty(instance, kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id, &strings,
                                 &stringsSize) == noErr &&
            strings)
        {
            for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
                p.valueStrings.push_back(utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, i))));
            CFRelease(strings);
        }
        list.push_back(std::move(p));
    }
    return list;
}

AudioUnitParameterID AUSession::findParameter(const std::string& parameter) const
{
    const std::vector<AUParameter> list = parameters();
    if (!parameter.empty() && std::all_of(parameter.begin(), parameter.end(), [](unsigned char c) { return std::isdigit(c); }))
    {
        const unsigned long id = std::stoul(parameter);
        for (const AUParameter& p : list)
            if (p.id == id)
                return p.id;
        throw AUError("no parameter with ID " + parameter + " (see auhost info)");
    }
    for (const AUParameter& p : list)
        if (p.name == parameter)
            return p.id;
    for (const AUParameter& p : list)
        if (folded(p.name) == folded(parameter))
            return p.id;
    throw AUError("no parameter named \"" + parameter + "\" (see auhost info)");
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

std::vector<float> renderThrough(AUSession& session, const AURenderJob& job, void (*progress)(double, void*), void* progressData)
{
    AudioUnit unit = session.unit();
    RenderInput state{&job, 0};
    AURenderCallbackStruct callback{&provideInput, &state};
    check(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof(callback)),
          "setting the input callback");
    check(AudioUnitInitialize(unit), "initialising the unit");

    const size_t total = job.frames + job.tailFrames;
    std::vector<float> output(total * 2, 0.0f);
    struct
    {
        UInt32 mNumberBuffers;
        AudioBuffer mBuffers[2];
    } list{};
    size_t nextEvent = 0;
    for (size_t start = 0; start < total; start += job.blockSize)
    {
        const auto frames = static_cast<UInt32>(std::min<size_t>(job.blockSize, total - start));
        while (nextEvent < job.midi.size() && job.midi[nextEvent].frame < start + frames)
        {
            const AURenderJob::MIDI& m = job.midi[nextEvent++];
            check(MusicDeviceMIDIEvent(unit, m.status, m.data1, m.data2, static_cast<UInt32>(m.frame > start ? m.frame - start : 0)),
                  "sending MIDI");
        }
        state.start = start;
        list.mNumberBuffers = 2;
        for (auto& buffer : list.mBuffers)
        {
            buffer.mNumberChannels = 1;
            buffer.mDataByteSize = frames * sizeof(float);
            buffer.mData = nullptr;
        }
        AudioTimeStamp time{};
        time.mSampleTime = static_cast<Float64>(start);
        time.mFlags = kAudioTimeStampSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        check(AudioUnitRender(unit, &flags, &time, 0, frames, reinterpret_cast<AudioBufferList*>(&list)), "rendering");
        for (UInt32 c = 0; c < 2; ++c)
        {
            const auto* data = static_cast<const float*>(list.mBuffers[c].mData);
            for (UInt32 i = 0; i < frames; ++i)
                output[(start + i) * 2 + c] = data[i];
        }
        if (progress)
            progress(static_cast<double>(start + frames) / static_cast<double>(total), progressData);
    }
    AudioUnitUninitialize(unit);
    return output;
}
