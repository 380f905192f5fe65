// An effect record driven by plain data, for testing the host side without a
// real effect: programs of values, chunks, a log of opcodes, and switches
// that make it misbehave. InProcessBundle serves entry points of the test.
#pragma once

#include "frame/VstRecords.h"
#include "platform/CodeBundle.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

struct FakeEffect
{
    FakeEffect(int32_t programs, int32_t parameters, bool chunks);
    int count(int32_t opcode) const { return static_cast<int>(std::count(opcodes.begin(), opcodes.end(), opcode)); }

    AEffect record{};
    audioMasterCallback master = nullptr;
    std::vector<std::vector<float>> values; // [program][parameter], 0.5 at first
    std::vector<std::string> programNames;  // "Program 0", ...
    int32_t currentProgram = 0;
    std::string parameterName = "Gain";
    std::vector<uint8_t> programChunk{1, 2, 3}, bankChunk{4, 5, 6, 7}, receivedChunk;
    int32_t receivedChunkIndex = -1;
    VstIntPtr setChunkAnswer = 1, editOpenAnswer = 1, reportedProgram = -1;
    bool throwEverywhere = false, chunkIsNull = false;
    ERect rect{10, 20, 110, 320};
    std::vector<int32_t> opcodes;                            // every dispatcher opcode, in order
    std::vector<std::pair<int32_t, float>> setParameterCalls;
    std::vector<std::string> midi;                           // "deltaFrames status data1 data2"
};

class InProcessBundle final : public CodeBundle
{
public:
    static InProcessBundle* create(std::map<std::string, void*> functions, bool loadable = true);
    std::filesystem::path getBundlePath() const override { return {}; }
    std::filesystem::path getExecutablePath() const override { return {}; }
    std::filesystem::path getResourcesFolder() const override { return {}; }
    std::filesystem::path getInfoDictionaryPath() const override { return {}; }
    bool isExecutableLoaded() const override { return loaded; }
    bool loadExecutable() override { return loaded = loadable; }
    void unloadExecutable() override;
    void* getFunctionPointerForName(const char* name) const override;

    int* unloads = nullptr; // counted where the test can read them after destruction

private:
    InProcessBundle() = default;
    std::map<std::string, void*> functions;
    bool loadable = true, loaded = false;
};

// What the next call of fakeEntryPoint returns and does meanwhile.
struct EntryScript
{
    FakeEffect* effect = nullptr;
    bool askIdDuringEntry = false, throwInEntry = false;
    VstIntPtr idAnswer = -1, versionAnswer = -1;
};
extern EntryScript gEntryScript;
AEffect* fakeEntryPoint(audioMasterCallback master);
// The same, with the unique ID changed to 'Mach'.
AEffect* fakeOtherEntryPoint(audioMasterCallback master);
// An entry table for InProcessBundle with fakeEntryPoint as "VSTPluginMain".
std::map<std::string, void*> fakeEntryTable();
