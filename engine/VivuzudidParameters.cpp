// The effect's parameters and its answers to the host: values, names,
// labels, display texts, programs, MIDI, pins and identity.
#include "engine/Vivuzudid.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using Parameters::truncToInt32;

// The engine's numeric display: "%7d", cut to 8 characters.
void mylong2string(long long n, char* text)
{
    if (n >= 100000000)
    {
        std::strcpy(text, "Huge!");
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%7lld", n);
    buffer[8] = 0;
    std::strcpy(text, buffer);
}

void copyText(char* dst, const char* src, size_t capacity)
{
    if (!dst)
        return;
    std::strncpy(dst, src, capacity - 1);
    dst[capacity - 1] = 0;
}

const char* const kParamNames[kNumParams] = {"PreGain",  "PrePan",  "PostGain", "ShaperSw", "Wet Dry",
                                              "Pre FlTy", "Pre Cut", "PostFlTy", "Post Cut"};

// The order setDefaults announces the parameters in.
constexpr VstInt32 kDefaultsOrder[kNumParams] = {kPreFilterType, kPostFilterType, kPreCutoff, kPostCutoff, kPreGain,
                                                 kPrePan,        kPostGain,       kShaperSw,  kWetDry};

} // namespace

void Vivuzudid::setParameter(VstInt32 index, float value)
{
    if (!std::isfinite(value))
        return;
    if (index >= 0 && index < kNumParams)
    {
        shared.setParameter(index, Parameters::bounded(value));
        return;
    }
    if (index == kCurvePointSelect)
        selectedPoint.store(truncToInt32(value), std::memory_order_relaxed);
    else if (index == kCurvePointValue)
    {
        int32_t point = selectedPoint.load(std::memory_order_relaxed);
        if (point < 0 || point >= kCurvePoints)
        {
            point = 0;
            selectedPoint.store(0, std::memory_order_relaxed);
        }
        shared.setPoint(point, Parameters::boundedPoint(truncToInt32(value)));
    }
}

float Vivuzudid::getParameter(VstInt32 index)
{
    if (index >= 0 && index < kNumParams)
        return shared.parameter(index);
    if (index == kCurvePointValue)
    {
        int32_t point = selectedPoint.load(std::memory_order_relaxed);
        if (point < 0 || point >= kCurvePoints)
            point = 0;
        return static_cast<float>(shared.point(point));
    }
    return 0.0f;
}

void Vivuzudid::setDefaults()
{
    EffectState state = shared.read();
    for (int i = 0; i < kNumParams; ++i)
        state.params[i] = Parameters::kDefaults[i];
    shared.write(state, false);
    announceParameters(kDefaultsOrder, kNumParams, false);
}

void Vivuzudid::announceParameters(const VstInt32* order, int count, bool refresh)
{
    // The values are in place already: setting them again changes nothing
    // the audio thread hears.
    for (int i = 0; i < count; ++i)
        setParameter(order[i], shared.parameter(order[i]));
    if (refresh)
        setParameter(kEditorRefresh, 1.0f);
}

void Vivuzudid::setProgram(VstInt32 program)
{
    if (program >= 0 && program < kNumPrograms)
        curProgram = program;
}

void Vivuzudid::setProgramName(char* name)
{
    if (name)
        copyText(programs[curProgram].name, name, sizeof programs[curProgram].name);
}

void Vivuzudid::getProgramName(char* name)
{
    if (!name)
        return;
    const char* stored = programs[curProgram].name;
    if (std::strcmp(stored, "Init") == 0)
    {
        char numbered[48];
        std::snprintf(numbered, sizeof numbered, "%s %d", stored, curProgram + 1);
        copyText(name, numbered, kVstMaxProgNameLen);
    }
    else
        copyText(name, stored, kVstMaxProgNameLen);
}

bool Vivuzudid::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
    if (index != 0 || !text)
        return false;
    copyText(text, programs[0].name, kVstMaxProgNameLen);
    return true;
}

void Vivuzudid::getParameterName(VstInt32 index, char* text)
{
    if (text)
        std::strcpy(text, index >= 0 && index < kNumParams ? kParamNames[index] : "");
}

void Vivuzudid::getParameterLabel(VstInt32 index, char* label)
{
    if (!label)
        return;
    switch (index)
    {
    case kPreGain:
    case kPrePan:
    case kPostGain:
        std::strcpy(label, "amt");
        break;
    case kShaperSw:
        std::strcpy(label, " ");
        break;
    case kWetDry:
        std::strcpy(label, " % ");
        break;
    default:
        *label = 0;
        break;
    }
}

void Vivuzudid::getParameterDisplay(VstInt32 index, char* text)
{
    if (!text)
        return;
    // Whatever the index or the value, the text ends with a terminator.
    *text = 0;
    auto percent = [](float v) { return static_cast<long long>(truncToInt32(static_cast<double>(v) * 100.0)); };
    const float value = getParameter(index);
    switch (index)
    {
    case kPreGain:
    case kPrePan:
    case kPostGain:
        mylong2string(percent(value) - 50, text);
        break;
    case kWetDry:
        mylong2string(percent(value), text);
        break;
    case kShaperSw:
        std::strcpy(text, value >= 1.0f ? "on" : "off");
        break;
    case kPreFilterType:
    case kPostFilterType:
    {
        const int32_t type = Parameters::filterType(value);
        if (type == 0)
            std::strcpy(text, " off");
        else if (type == 3)
            std::strcpy(text, " HIPASS");
        else if (type == 2)
            std::strcpy(text, " BANDPASS");
        else if (type == 1)
            std::strcpy(text, " LOWPASS");
        break;
    }
    case kPreCutoff:
    case kPostCutoff:
        mylong2string(truncToInt32(cutoffMapper->valueAt(value)), text);
        break;
    default:
        break;
    }
}

VstInt32 Vivuzudid::processEvents(VstEvents* events)
{
    if (!events)
        return 1;
    // The list holds numEvents entries although the record declares two: index
    // through a pointer so entries past the second are not out of bounds.
    VstEvent* const* list = eventSlots(events);
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const auto status = static_cast<unsigned char>(midi->midiData[0]);
        if ((status & 0xF0) != 0xB0)
            continue;
        // MIDI data bytes carry seven bits.
        const int controller = static_cast<unsigned char>(midi->midiData[1]) & 0x7F;
        const int value = static_cast<unsigned char>(midi->midiData[2]) & 0x7F;
        const float amount = static_cast<float>(value / 127.0);
        if (controller == 70)
            setParameter(kPreGain, amount);
        else if (controller == 71)
            setParameter(kPrePan, amount);
        else if (controller == 72)
            setParameter(kPostGain, amount);
    }
    return 1;
}

bool Vivuzudid::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    if (index < 0 || index > 1 || !properties)
        return false;
    std::snprintf(properties->label, sizeof properties->label, "Devo %1d", index + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool Vivuzudid::getEffectName(char* name)
{
    copyText(name, "Dithercrunch", kVstMaxEffectNameLen);
    return true;
}

bool Vivuzudid::getVendorString(char* text)
{
    copyText(text, "Tarnby Audio", kVstMaxVendorStrLen);
    return true;
}

bool Vivuzudid::getProductString(char* text)
{
    copyText(text, "Dithercrunch", kVstMaxProductStrLen);
    return true;
}

VstInt32 Vivuzudid::getVendorVersion()
{
    return 1000;
}

VstInt32 Vivuzudid::canDo(char* text)
{
    if (!text)
        return -1;
    for (const char* s : {"receiveVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert", "2in2out", "1in2out"})
        if (std::strcmp(text, s) == 0)
            return 1;
    return -1;
}

VstPlugCategory Vivuzudid::getPlugCategory()
{
    return kPlugCategEffect;
}
