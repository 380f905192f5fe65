#include "FakeEffect.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace
{

VstIntPtr fakeDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    FakeEffect& fake = FakeEffect::of(effect);
    fake.opcodes.push_back(opcode);
    if (fake.throwEverywhere && opcode != effClose)
        throw std::runtime_error("effect failure");
    const int32_t programs = fake.record.numPrograms;
    switch (opcode)
    {
    case effClose:
        fake.closed = true;
        return 0;
    case effSetProgram:
        if (value >= 0 && value < programs)
            fake.currentProgram = static_cast<int32_t>(value);
        return 0;
    case effGetProgram:
        return fake.reportedProgram >= 0 ? fake.reportedProgram : fake.currentProgram;
    case effSetProgramName:
        fake.programNames[fake.currentProgram] = static_cast<const char*>(ptr);
        return 0;
    case effGetProgramName:
        std::strcpy(static_cast<char*>(ptr), fake.programNames[fake.currentProgram].c_str());
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= programs)
            return 0;
        std::strcpy(static_cast<char*>(ptr), fake.programNames[index].c_str());
        return 1;
    case effGetParamName:
        std::strcpy(static_cast<char*>(ptr), fake.parameterName.c_str());
        return 0;
    case effGetParamLabel:
        std::strcpy(static_cast<char*>(ptr), "dB");
        return 0;
    case effGetParamDisplay:
        std::strcpy(static_cast<char*>(ptr), std::to_string(index).c_str());
        return 0;
    case effGetChunk:
    {
        std::vector<uint8_t>& chunk = index ? fake.programChunk : fake.bankChunk;
        *static_cast<void**>(ptr) = fake.chunkIsNull ? nullptr : chunk.data();
        return static_cast<VstIntPtr>(chunk.size());
    }
    case effSetChunk:
    {
        const uint8_t* bytes = static_cast<const uint8_t*>(ptr);
        fake.receivedChunk.assign(bytes, bytes + value);
        fake.receivedChunkIndex = index;
        return fake.setChunkAnswer;
    }
    case effEditGetRect:
        *static_cast<ERect**>(ptr) = &fake.rect;
        return 1;
    case effEditOpen:
        return fake.editOpenAnswer;
    case effGetVstVersion:
        return 2400;
    case effGetTailSize:
        return 77;
    case effSetBypass:
        return value ? 1 : 0;
    default:
        return 0;
    }
}

void fakeSetParameter(AEffect* effect, VstInt32 index, float value)
{
    FakeEffect& fake = FakeEffect::of(effect);
    fake.setParameterCalls.emplace_back(index, value);
    if (fake.throwEverywhere)
        throw std::runtime_error("effect failure");
    if (index >= 0 && index < fake.record.numParams)
        fake.values[fake.currentProgram][index] = value;
}

float fakeGetParameter(AEffect* effect, VstInt32 index)
{
    FakeEffect& fake = FakeEffect::of(effect);
    if (fake.throwEverywhere)
        throw std::runtime_error("effect failure");
    if (index < 0 || index >= fake.record.numParams)
        return 0.0f;
    return fake.values[fake.currentProgram][index];
}

// Output = input x (1 + parameter 0), channel by channel.
void fakeProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    FakeEffect& fake = FakeEffect::of(effect);
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
    record.dispatcher = fakeDispatcher;
    record.setParameter = fakeSetParameter;
    record.getParameter = fakeGetParameter;
    record.processReplacing = fakeProcessReplacing;
    record.numPrograms = programs;
    record.numParams = parameters;
    record.numInputs = 2;
    record.numOutputs = 2;
    record.flags = effFlagsCanReplacing | (chunks ? effFlagsProgramChunks : 0);
    record.object = this;
    record.uniqueID = CCONST('F', 'a', 'k', 'e');
    record.version = 3;
}

int FakeEffect::count(int32_t opcode) const
{
    return static_cast<int>(std::count(opcodes.begin(), opcodes.end(), opcode));
}

InProcessBundle* InProcessBundle::create(std::map<std::string, void*> table, bool canLoad)
{
    InProcessBundle* bundle = new InProcessBundle();
    bundle->functions = std::move(table);
    bundle->loadable = canLoad;
    return bundle;
}

InProcessBundle::~InProcessBundle() = default;

bool InProcessBundle::loadExecutable()
{
    if (!loadable)
        return false;
    ++loads;
    loaded = true;
    return true;
}

void InProcessBundle::unloadExecutable()
{
    ++unloads;
    if (unloadsAfterDestruction)
        ++*unloadsAfterDestruction;
    loaded = false;
}

void* InProcessBundle::getFunctionPointerForName(const char* name) const
{
    if (!loaded)
        return nullptr;
    auto found = functions.find(name);
    return found == functions.end() ? nullptr : found->second;
}

EntryScript gEntryScript;

AEffect* fakeEntryPoint(audioMasterCallback master)
{
    if (gEntryScript.throwInEntry)
        throw std::runtime_error("entry failure");
    FakeEffect* fake = gEntryScript.effect;
    gEntryScript.versionAnswer = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
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
