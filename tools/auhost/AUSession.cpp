#include "tools/auhost/AUSession.h"
#include "tools/auhost/AUState.h"

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

namespace
{

std::string unitText(const AudioUnitParameterInfo& info, const std::string& unitName)
{
    static const char* const kUnits[] = {"generic", "indexed", "boolean", "percent", "seconds", "sample frames", "phase",
                                         "rate", "Hz", "cents", "relative semitones", "MIDI note", "MIDI controller",
                                         "dB", "linear gain", "degrees", "equal-power crossfade", "mixer fader curve 1",
                                         "pan", "meters", "absolute cents", "octaves", "BPM", "beats", "milliseconds",
                                         "ratio", "custom"};
    std::string text = info.unit < sizeof(kUnits) / sizeof(kUnits[0]) ? kUnits[info.unit] : "unit " + std::to_string(info.unit);
    if (!unitName.empty())
        text += " \"" + unitName + "\"";
    return text;
}

std::string flagText(UInt32 flags)
{
    struct Name
    {
        UInt32 bit;
        const char* text;
    };
    static const Name kNames[] = {{kAudioUnitParameterFlag_IsReadable, "readable"},
                                  {kAudioUnitParameterFlag_IsWritable, "writable"},
                                  {kAudioUnitParameterFlag_HasCFNameString, "cf-name"},
                                  {kAudioUnitParameterFlag_ValuesHaveStrings, "value-strings"},
                                  {kAudioUnitParameterFlag_IsGlobalMeta, "global-meta"},
                                  {kAudioUnitParameterFlag_IsElementMeta, "element-meta"}};
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", flags);
    std::string text = hex;
    for (const Name& n : kNames)
        if (flags & n.bit)
            text += std::string(" ") + n.text;
    return text;
}

void printFormat(const std::string& what, const AudioStreamBasicDescription& f)
{
    std::printf("  %-7s %u ch, %.0f Hz, '%s', flags 0x%X, %u bits, %u bytes/frame\n", what.c_str(), f.mChannelsPerFrame,
                f.mSampleRate, fourCharText(f.mFormatID).c_str(), f.mFormatFlags, f.mBitsPerChannel, f.mBytesPerFrame);
}

} // namespace

void printComponentInfo(const std::string& bundle)
{
    AUSession session(bundle);
    const ComponentDescription& d = session.description();
    std::printf("bundle:       %s\n", fs::absolute(bundle).c_str());
    std::printf("name:         %s\n", session.name().c_str());
    std::printf("registration: type %s, subtype %s, manufacturer %s\n", fourCharText(d.componentType).c_str(),
                fourCharText(d.componentSubType).c_str(), fourCharText(d.componentManufacturer).c_str());
    const long version = GetComponentVersion(session.unit());
    std::printf("version:      %ld.%ld.%ld (0x%08lX)\n", (version >> 16) & 0xFFFF, (version >> 8) & 0xFF, version & 0xFF,
                static_cast<unsigned long>(version));
    const UInt32 inputs = session.elementCount(kAudioUnitScope_Input);
    const UInt32 outputs = session.elementCount(kAudioUnitScope_Output);
    std::printf("buses:        %u input, %u output\n", inputs, outputs);
    for (UInt32 b = 0; b < inputs; ++b)
        printFormat("in " + std::to_string(b), session.streamFormat(kAudioUnitScope_Input, b));
    for (UInt32 b = 0; b < outputs; ++b)
        printFormat("out " + std::to_string(b), session.streamFormat(kAudioUnitScope_Output, b));
    AUChannelInfo channels[8]{};
    UInt32 size = sizeof(channels);
    if (AudioUnitGetProperty(session.unit(), kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, channels, &size) ==
        noErr)
    {
        std::printf("channels:    ");
        for (UInt32 i = 0; i < size / sizeof(AUChannelInfo); ++i)
            std::printf(" %d in/%d out", channels[i].inChannels, channels[i].outChannels);
        std::printf("\n");
    }
    std::printf("latency:      %.6f s\n", session.latency());
    const std::vector<AUParameter> parameters = session.parameters();
    std::printf("parameters:   %zu\n", parameters.size());
    for (const AUParameter& p : parameters)
    {
        AudioUnitParameterValue value = 0.0f;
        AudioUnitGetParameter(session.unit(), p.id, kAudioUnitScope_Global, 0, &value);
        std::printf("  %3u  %-24s %s, %g to %g, default %g, now %g, flags %s\n", p.id, p.name.c_str(),
                    unitText(p.info, p.unitName).c_str(), p.info.minValue, p.info.maxValue, p.info.defaultValue, value,
                    flagText(p.info.flags).c_str());
        if (!p.valueStrings.empty())
        {
            std::printf("       values:");
            for (size_t i = 0; i < p.valueStrings.size(); ++i)
                std::printf(" %zu=%s", i, p.valueStrings[i].c_str());
            std::printf("\n");
        }
    }
}

struct AUStreamRenderer::State
{
    AUSession session;
    uint32_t inputChannels;
    uint32_t blockSize;
    std::vector<std::vector<float>> planar;
    Float64 sampleTime = 0.0;
    State(const std::string& bundle, uint32_t channels, uint32_t block)
        : session(bundle), inputChannels(channels), blockSize(block), planar(channels, std::vector<float>(block))
    {
    }
    static OSStatus provide(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                            AudioBufferList* list)
    {
        auto* state = static_cast<State*>(refCon);
        if (frames > state->blockSize)
            return paramErr;
        for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        {
            if (!list->mBuffers[c].mData)
                return paramErr;
            const auto& source = state->planar[std::min<size_t>(c, state->planar.size() - 1)];
            std::memcpy(list->mBuffers[c].mData, source.data(), frames * sizeof(float));
        }
        return noErr;
    }
};

AUStreamRenderer::AUStreamRenderer(const std::string& bundle, int32_t sampleRate, uint32_t inputChannels, uint32_t blockSize,
                                   const std::vector<std::pair<std::string, float>>& settings, const std::string& stateFile,
                                   int32_t preset)
    : state(new State(bundle, inputChannels, blockSize))
{
    try
    {
        AUSession& session = state->session;
        if (!stateFile.empty())
            restoreStateFile(session, stateFile);
        if (preset >= 0)
            selectFactoryPreset(session, preset);
        session.setFormat(sampleRate, inputChannels);
        session.setMaximumFrames(blockSize);
        for (const auto& [parameter, value] : settings)
            check(AudioUnitSetParameter(session.unit(), session.findParameter(parameter), kAudioUnitScope_Global, 0, value, 0),
                  "setting " + parameter);
        AURenderCallbackStruct callback{&State::provide, state};
        check(AudioUnitSetProperty(session.unit(), kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                                   sizeof(callback)),
              "setting the input callback");
        check(AudioUnitInitialize(session.unit()), "initialising the unit");
    }
    catch (...)
    {
        delete state;
        throw;
    }
}

AUStreamRenderer::~AUStreamRenderer()
{
    AudioUnitUninitialize(state->session.unit());
    delete state;
}

void AUStreamRenderer::process(const float* input, float* output, uint32_t frames, const std::vector<AUMidiEvent>& events)
{
    AudioUnit unit = state->session.unit();
    for (uint32_t c = 0; c < state->inputChannels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
            state->planar[c][i] = input[i * state->inputChannels + c];
    for (const AUMidiEvent& m : events)
        check(MusicDeviceMIDIEvent(unit, m.status, m.data1, m.data2, m.frame), "sending MIDI");
    struct
    {
        UInt32 mNumberBuffers;
        AudioBuffer mBuffers[2];
    } list{};
    list.mNumberBuffers = 2;
    for (auto& buffer : list.mBuffers)
    {
        buffer.mNumberChannels = 1;
        buffer.mDataByteSize = frames * sizeof(float);
        buffer.mData = nullptr;
    }
    AudioTimeStamp time{};
    time.mSampleTime = state->sampleTime;
    time.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    check(AudioUnitRender(unit, &flags, &time, 0, frames, reinterpret_cast<AudioBufferList*>(&list)), "rendering");
    state->sampleTime += frames;
    for (UInt32 c = 0; c < 2; ++c)
    {
        const auto* data = static_cast<const float*>(list.mBuffers[c].mData);
        for (UInt32 i = 0; i < frames; ++i)
            output[i * 2 + c] = data[i];
    }
}
