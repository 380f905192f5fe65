// A loadable test effect whose shape and answers a test sets before the
// component loads it, and which writes down every call it receives. The
// test opens the module itself first (the component's load then gets the
// same copy) and reaches the control block through recordingEffectControl().
#include "RecordingEffect.h"

#include <cstring>

namespace
{

RecordingEffectControl control;
AEffect record{};

VstIntPtr dispatcher(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    control.calls.push_back({opcode, index, value, opt});
    switch (opcode)
    {
    case effOpen:
        control.master(&record, audioMasterGetProductString, 0, 0, control.product, 0.0f);
        if (control.wantsMidi)
            control.master(&record, audioMasterWantMidi, 0, 0, nullptr, 0.0f);
        return 0;
    case effGetParamName:
        std::snprintf(static_cast<char*>(ptr), 24, "Param %d", index);
        return 0;
    case effGetParamLabel:
        std::strcpy(static_cast<char*>(ptr), "dB");
        return 0;
    case effGetParamDisplay:
        std::snprintf(static_cast<char*>(ptr), 24, "%g", -24.0 + 48.0 * control.values[index & 31]);
        return 0;
    case effGetProgramName:
        std::strcpy(static_cast<char*>(ptr), control.programName);
        return 0;
    case effGetTailSize:
        return control.tailSize;
    case effSetBypass:
        return control.bypassAnswer;
    case effVendorSpecific:
        return index == CCONST('s', 'H', 'i', '!') ? control.helloAnswer
               : index == CCONST('s', 'O', '0', '0') ? control.outputSilentAnswer
                                                     : 0;
    case effProcessEvents:
    {
        const auto* events = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < events->numEvents; ++i)
        {
            const auto* e = reinterpret_cast<const VstMidiEvent*>(eventSlots(events)[i]);
            control.midi.push_back({e->deltaFrames, static_cast<unsigned char>(e->midiData[0]),
                                    static_cast<unsigned char>(e->midiData[1]), static_cast<unsigned char>(e->midiData[2]),
                                    e->byteSize});
        }
        return 1;
    }
    default:
        return 0;
    }
}

void processReplacing(AEffect*, float** in, float** out, VstInt32 frames)
{
    ++control.processCalls;
    control.lastInputs[0] = in[0];
    control.lastInputs[1] = in[1];
    for (int c = 0; c < 2; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            out[c][i] = in[c][i] * control.gain;
}

void setParameter(AEffect*, VstInt32 index, float value)
{
    control.values[index & 31] = value;
}

float getParameter(AEffect*, VstInt32 index)
{
    return control.values[index & 31];
}

} // namespace

extern "C" __attribute__((visibility("default"))) RecordingEffectControl* recordingEffectControl()
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
    record.numParams = control.parameterCount;
    record.numInputs = control.inputs;
    record.numOutputs = control.outputs;
    record.initialDelay = control.initialDelay;
    record.flags = control.canReplacing ? effFlagsCanReplacing : 0;
    record.uniqueID = CCONST('R', 'e', 'c', 'E');
    control.effect = &record;
    return &record;
}
