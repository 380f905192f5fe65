#include "FakeEffect.h"

#include <cstring>
#include <stdexcept>

namespace
{

FakeEffect& of(AEffect* effect)
{
    return *static_cast<FakeEffect*>(effect->object);
}

void copyOut(void* ptr, const std::string& text)
{
    std::strcpy(static_cast<char*>(ptr), text.c_str());
}

VstIntPtr dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    FakeEffect& fake = of(effect);
    fake.opcodes.push_back(opcode);
    if (fake.throwEverywhere && opcode != effClose)
        throw std::runtime_error("effect failure");
    switch (opcode)
    {
    case effSetProgram:
        if (value >= 0 && value < fake.record.numPrograms)
            fake.currentProgram = static_cast<int32_t>(value);
        return 0;
    case effGetProgram: return fake.reportedProgram >= 0 ? fake.reportedProgram : fake.currentProgram;
    case effSetProgramName: fake.programNames[fake.currentProgram] = static_cast<const char*>(ptr); return 0;
    case effGetProgramName: copyOut(ptr, fake.programNames[fake.currentProgram]); return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= fake.record.numPrograms)
            return 0;
        copyOut(ptr, fake.programNames[index]);
        return 1;
    case effGetParamName: copyOut(ptr, fake.parameterName); return 0;
    case effGetParamLabel: copyOut(ptr, "dB"); return 0;
    case effGetParamDisplay: copyOut(ptr, std::to_string(index)); return 0;
    case effGetChunk:
    {
        std::vector<uint8_t>& chunk = index ? fake.programChunk : fake.bankChunk;
        *static_cast<void**>(ptr) = fake.chunkIsNull ? nullptr : chunk.data();
        return static_cast<VstIntPtr>(chunk.size());
    }
    case effSetChunk:
        fake.receivedChunk.assign(static_cast<uint8_t*>(ptr), static_cast<uint8_t*>(ptr) + value);
        fake.receivedChunkIndex = index;
        return fake.setChunkAnswer;
    case effProcessEvents:
    {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        for (int32_t i = 0; i < events->numEvents; ++i)
        {
            const auto* m = reinterpret_cast<const VstMidiEvent*>(eventSlots(events)[i]);
            fake.midi.push_back(std::to_string(m->deltaFrames) + " " + std::to_string(static_cast<unsigned char>(m->midiData[0])) + " " +
                                std::to_string(m->midiData[1]) + " " + std::to_string(m->midiData[2]));
        }
        return 1;
    }
    case effEditGetRect: *static_cast<ERect**>(ptr) = &fake.rect; return 1;
    case effEditOpen: return fake.editOpenAnswer;
    case effGetVstVersion: return 2400;
    case effGetTailSize: return 77;
    case effSetBypass: return value ? 1 : 0;
    default: return 0;
    }
}

void setParameter(AEffect* effect, VstInt32 index, float value)
{
    FakeEffect& fake = of(effect);
    fake.setParameterCalls.emplace_back(index, value);
    if (fake.throwEverywhere)
        throw std::runtime_error("effect failure");
    if (index >= 0 && index < fake.record.numParams)
        fake.values[fake.currentProgram][index] = value;
}

float getParameter(AEffect* effect, VstInt32 index)
{
    FakeEffect& fake = of(effect);
    if (fake.throwEverywhere)
        throw std::runtime_error("effect failure");
    return index >= 0 && index < fake.record.numParams ? fake.values[fake.currentProgram][index] : 0.0f;
}

// Output = input x (1 + parameter 0).
void processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    FakeEffect& fake = of(effect);
    if (fake.throwEverywhere)
        throw std::runtime_error("effect failure");
    const float gain = 1.0f + (fake.record.numParams ? fake.values[fake.currentProgram][0] : 0.0f);
    for (int32_t c = 0; c < fake.record.numOutputs; ++c)
        for (int32_t i = 0; i < frames; ++i)
            outputs[c][i] = inputs[c][i] * gain;
}

} // namespace

FakeEffect::FakeEffect(int32_t programs, int32_t parameters, bool chunks)
    : values(static_cast<size_t>(programs), std::vector<float>(static_cast<size_t>(parameters), 0.5f))
{
    for (int32_t p = 0; p < programs; ++p)
        programNames.push_back("Program " + std::to_string(p));
    record.magic = kEffectMagic;
    record.dispatcher = dispatcher;
    record.setParameter = ::setParameter;
    record.getParameter = ::getParameter;
    record.processReplacing = ::processReplacing;
    record.numPrograms = programs;
    record.numParams = parameters;
    record.numInputs = record.numOutputs = 2;
    record.flags = effFlagsCanReplacing | (chunks ? effFlagsProgramChunks : 0);
    record.object = this;
    record.uniqueID = CCONST('F', 'a', 'k', 'e');
    record.version = 3;
}

InProcessBundle* InProcessBundle::create(std::map<std::string, void*> table, bool canLoad)
{
    InProcessBundle* bundle = new InProcessBundle();
    bundle->functions = std::move(table);
    bundle->loadable = canLoad;
    return bundle;
}

void InProcessBundle::unloadExecutable()
{
    if (unloads)
        ++*unloads;
    loaded = false;
}

void* InProcessBundle::getFunctionPointerForName(const char* name) const
{
    auto found = functions.find(name);
    return loaded && found != functions.end() ? found->second : nullptr;
}

EntryScript gEntryScript;

AEffect* fakeEntryPoint(audioMasterCallback master)
{
    if (gEntryScript.throwInEntry)
        throw std::runtime_error("entry failure");
    gEntryScript.versionAnswer = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    FakeEffect* fake = gEntryScript.effect;
    if (!fake)
        return nullptr;
    fake->master = master;
    if (gEntryScript.askIdDuringEntry)
        gEntryScript.idAnswer = master(&fake->record, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    return &fake->record;
}

AEffect* fakeOtherEntryPoint(audioMasterCallback master)
{
    AEffect* record = fakeEntryPoint(master);
    if (record)
        record->uniqueID = CCONST('M', 'a', 'c', 'h');
    return record;
}

std::map<std::string, void*> fakeEntryTable()
{
    return {{"VSTPluginMain", reinterpret_cast<void*>(&fakeEntryPoint)}};
}
