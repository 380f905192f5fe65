// A small loadable VST effect for the component tests: several programs of
// plain parameters (records in the parameter forms), a bypass, named pins
// and the adapter's vendor-specific extensions ("sHi!", "sV2S", "sS2V").
// The environment configures it when its entry point runs:
//   TEST_EFFECT_PROGRAMS  program names separated by "|" (default "Init|Lead|Lead")
//   TEST_EFFECT_EXTENSIONS  "0" to decline the extensions (default: take part)
#include "frame/VstRecords.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr VstInt32 kParameterCount = 4;

struct Effect
{
    AEffect record{};
    std::vector<std::string> names;
    std::vector<std::vector<float>> values;
    VstInt32 program = 0;
    bool extensions = true;
    bool bypassed = false;
};

Effect* of(AEffect* e)
{
    return static_cast<Effect*>(e->object);
}

void copyText(void* destination, const std::string& text, size_t room)
{
    std::snprintf(static_cast<char*>(destination), room, "%s", text.c_str());
}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    Effect* effect = of(e);
    switch (opcode)
    {
    case effClose:
        delete effect;
        return 1;
    case effSetProgram:
        if (value >= 0 && value < static_cast<VstIntPtr>(effect->names.size()))
            effect->program = static_cast<VstInt32>(value);
        return 0;
    case effGetProgram:
        return effect->program;
    case effSetProgramName:
        effect->names[effect->program] = std::string(static_cast<const char*>(ptr)).substr(0, 24);
        return 0;
    case effGetProgramName:
        copyText(ptr, effect->names[effect->program], 25);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= static_cast<VstInt32>(effect->names.size()))
            return 0;
        copyText(ptr, effect->names[index], 25);
        return 1;
    case effGetParamName:
        copyText(ptr, "Param" + std::to_string(index), 9);
        return 0;
    case effGetParamLabel:
        copyText(ptr, "dB", 9);
        return 0;
    case effGetParamDisplay:
    {
        char text[16];
        std::snprintf(text, sizeof(text), "%.2f", effect->values[effect->program][index] * 10.0f);
        copyText(ptr, text, 9);
        return 0;
    }
    case effGetInputProperties:
    case effGetOutputProperties:
    {
        if (index != 0)
            return 0;
        auto* pin = static_cast<VstPinProperties*>(ptr);
        std::memset(pin, 0, sizeof(*pin));
        copyText(pin->label, opcode == effGetInputProperties ? "Main In" : "Main Out", sizeof(pin->label));
        pin->flags = kVstPinIsActive | kVstPinIsStereo;
        return 1;
    }
    case effSetBypass:
        effect->bypassed = value != 0;
        return 1;
    case effGetTailSize:
        return 441;
    case effVendorSpecific:
        if (!effect->extensions)
            return 0;
        if (index == CCONST('s', 'H', 'i', '!'))
            return 1;
        if (index == CCONST('s', 'V', '2', 'S'))
        {
            float v;
            std::memcpy(&v, ptr, sizeof(v));
            char text[32];
            std::snprintf(text, sizeof(text), "  %.1f dB", v * 10.0f);
            copyText(ptr, text, 25);
            return 1;
        }
        if (index == CCONST('s', 'S', '2', 'V'))
        {
            char* end = nullptr;
            const float v = std::strtof(static_cast<const char*>(ptr), &end) / 10.0f;
            if (end == ptr)
                return 0;
            std::memcpy(ptr, &v, sizeof(v));
            return 1;
        }
        return 0;
    case effGetVstVersion:
        return kVstVersion;
    default:
        return 0;
    }
}

void setParameter(AEffect* e, VstInt32 index, float value)
{
    if (index >= 0 && index < kParameterCount)
        of(e)->values[of(e)->program][index] = value;
}

float getParameter(AEffect* e, VstInt32 index)
{
    return index >= 0 && index < kParameterCount ? of(e)->values[of(e)->program][index] : 0.0f;
}

// Output = input x parameter 0 (x 0 when bypassed is not modelled: bypass
// passes the input through).
void processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    const Effect* effect = of(e);
    const float gain = effect->bypassed ? 1.0f : effect->values[effect->program][0];
    for (int channel = 0; channel < 2; ++channel)
        for (VstInt32 i = 0; i < frames; ++i)
            outputs[channel][i] = inputs[channel][i] * gain;
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    auto* effect = new Effect;
    const char* programs = std::getenv("TEST_EFFECT_PROGRAMS");
    std::string list = programs ? programs : "Init|Lead|Lead";
    size_t start = 0;
    for (;;)
    {
        const size_t bar = list.find('|', start);
        effect->names.push_back(list.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    const char* extensions = std::getenv("TEST_EFFECT_EXTENSIONS");
    effect->extensions = !(extensions && std::strcmp(extensions, "0") == 0);
    for (size_t p = 0; p < effect->names.size(); ++p)
        effect->values.push_back(std::vector<float>(kParameterCount, 0.25f * static_cast<float>(p % 4) + 0.125f));

    AEffect& r = effect->record;
    r.magic = kEffectMagic;
    r.dispatcher = dispatcher;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.processReplacing = processReplacing;
    r.numPrograms = static_cast<VstInt32>(effect->names.size());
    r.numParams = kParameterCount;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.object = effect;
    r.uniqueID = CCONST('T', 'x', 't', 'E');
    r.version = 1;
    return &r;
}
