// A loadable effect with an editor for the view tests. The test opens the
// module first (the component's load then gets the same copy) and reaches
// the control block through viewTestEffectControl().
#include "ViewTestEffect.h"

namespace
{

ViewTestEffectControl control;
AEffect record{};

VstIntPtr dispatcher(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode)
    {
    case effEditGetRect:
        *static_cast<ERect**>(ptr) = control.giveRect ? &control.rect : nullptr;
        return control.giveRect ? 1 : 0;
    case effEditOpen:
        ++control.opens;
        control.openedIn = ptr;
        return control.openAnswer;
    case effEditClose:
        ++control.closes;
        return 0;
    case effEditIdle:
        ++control.idles;
        return 0;
    default:
        return 0;
    }
}

void processReplacing(AEffect*, float** in, float** out, VstInt32 frames)
{
    for (int c = 0; c < 2; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            out[c][i] = in[c][i];
}

void setParameter(AEffect*, VstInt32, float) {}
float getParameter(AEffect*, VstInt32)
{
    return 0.0f;
}

} // namespace

extern "C" __attribute__((visibility("default"))) ViewTestEffectControl* viewTestEffectControl()
{
    return &control;
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master)
{
    control.master = master;
    record = AEffect{};
    record.magic = kEffectMagic;
    record.dispatcher = dispatcher;
    record.setParameter = setParameter;
    record.getParameter = getParameter;
    record.processReplacing = processReplacing;
    record.numPrograms = 1;
    record.numParams = 2;
    record.numInputs = 2;
    record.numOutputs = 2;
    record.flags = effFlagsCanReplacing | effFlagsHasEditor;
    record.uniqueID = CCONST('V', 'i', 'e', 'w');
    control.effect = &record;
    return &record;
}
