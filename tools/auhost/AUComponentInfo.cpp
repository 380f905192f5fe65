// auhost info: what the host learns of a component through the published
// calls.
#include "tools/auhost/AUSession.h"

#include <cstdio>

namespace fs = std::filesystem;

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
