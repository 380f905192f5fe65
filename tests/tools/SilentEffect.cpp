// A loadable VST effect with one input and 64 outputs that writes silence:
// a render through it makes files of gigabytes in seconds, to check what
// the hosts write past 4 GB.
#include "frame/VstRecords.h"

#include <cstring>

namespace
{

constexpr VstInt32 kOutputs = 64;
AEffect record;

VstIntPtr dispatcher(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == effGetVstVersion ? 2400 : 0;
}

void processReplacing(AEffect*, float**, float** outputs, VstInt32 frames)
{
    for (VstInt32 c = 0; c < kOutputs; ++c)
        std::memset(outputs[c], 0, sizeof(float) * static_cast<size_t>(frames));
}

void setParameter(AEffect*, VstInt32, float) {}
float getParameter(AEffect*, VstInt32)
{
    return 0.0f;
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    record = AEffect{};
    record.magic = kEffectMagic;
    record.dispatcher = dispatcher;
    record.setParameter = setParameter;
    record.getParameter = getParameter;
    record.processReplacing = processReplacing;
    record.numPrograms = 1;
    record.numInputs = 1;
    record.numOutputs = kOutputs;
    record.flags = effFlagsCanReplacing;
    record.uniqueID = CCONST('S', 'i', 'l', '6');
    return &record;
}
