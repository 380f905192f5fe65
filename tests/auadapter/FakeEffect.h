// An effect record driven by plain data, for testing the host side without
// any real effect: programs of parameter values, optional chunks, a log of
// the opcodes it received, and switches that make it misbehave.
#pragma once

#include "frame/VstRecords.h"
#include "platform/CodeBundle.h"

#include <map>
#include <string>
#include <vector>

struct FakeEffect
{
    FakeEffect(int32_t programs, int32_t parameters, bool chunks);

    AEffect record{};
    audioMasterCallback master = nullptr;

    std::vector<std::vector<float>> values; // [program][parameter]
    std::vector<std::string> programNames;
    int32_t currentProgram = 0;
    std::string parameterName = "Gain";
    std::vector<uint8_t> programChunk{1, 2, 3};
    std::vector<uint8_t> bankChunk{4, 5, 6, 7};
    std::vector<uint8_t> receivedChunk;
    int32_t receivedChunkIndex = -1;
    VstIntPtr setChunkAnswer = 1;
    VstIntPtr editOpenAnswer = 1;
    VstIntPtr reportedProgram = -1; // answered to effGetProgram when >= 0
    bool throwEverywhere = false;
    bool chunkIsNull = false;
    ERect rect{10, 20, 110, 320};

    std::vector<int32_t> opcodes; // every dispatcher opcode, in order
    std::vector<std::pair<int32_t, float>> setParameterCalls;
    bool closed = false;

    static FakeEffect& of(AEffect* effect) { return *static_cast<FakeEffect*>(effect->object); }
    int count(int32_t opcode) const;
};

// A bundle whose "code" is a table of functions of the test program.
class InProcessBundle final : public CodeBundle
{
public:
    static InProcessBundle* create(std::map<std::string, void*> functions, bool loadable = true);

    std::filesystem::path getBundlePath() const override { return {}; }
    std::filesystem::path getExecutablePath() const override { return {}; }
    std::filesystem::path getResourcesFolder() const override { return {}; }
    std::filesystem::path getInfoDictionaryPath() const override { return {}; }
    bool isExecutableLoaded() const override { return loaded; }
    bool loadExecutable() override;
    void unloadExecutable() override;
    void* getFunctionPointerForName(const char* name) const override;

    int loads = 0;
    int unloads = 0;
    int* unloadsAfterDestruction = nullptr; // counts unloads where the test can still read them

private:
    InProcessBundle() = default;
    ~InProcessBundle() override;

    std::map<std::string, void*> functions;
    bool loadable = true;
    bool loaded = false;
};

// The effect the next entry point call returns, and what it does meanwhile.
struct EntryScript
{
    FakeEffect* effect = nullptr;
    bool askIdDuringEntry = false;
    bool throwInEntry = false;
    VstIntPtr idAnswer = -1;
    VstIntPtr versionAnswer = -1;
};
extern EntryScript gEntryScript;
AEffect* fakeEntryPoint(audioMasterCallback master);
AEffect* fakeOtherEntryPoint(audioMasterCallback master); // returns gEntryScript.effect with ID 'Mach'
