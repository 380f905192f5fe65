// A minimal VST 2.4 host for tests: loads a plug-in module with dlopen, creates
// the effect through VSTPluginMain and records every request the effect makes.
#pragma once

#include "frame/VstRecords.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace dc {

struct HostRequest
{
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    bool withEffect; // false for requests sent with a null effect record
};

class TestHost
{
public:
    // Answer the host-version request with this (0 makes the entry refuse).
    explicit TestHost(const std::string& modulePath, VstIntPtr versionAnswer = 2400);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // The path of the DitherCrunch module the tests were built with.
    static std::string pluginPath();

    AEffect* effect() const { return aeffect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value) { aeffect->setParameter(aeffect, index, value); }
    float getParameter(VstInt32 index) { return aeffect->getParameter(aeffect, index); }
    void processReplacing(float** in, float** out, VstInt32 frames) { aeffect->processReplacing(aeffect, in, out, frames); }

    std::string text(VstInt32 opcode, VstInt32 index = 0);
    std::vector<unsigned char> chunk();
    VstIntPtr loadChunk(const std::vector<unsigned char>& data);
    // Sends one MIDI control change through effProcessEvents.
    VstIntPtr sendControlChange(int channel, int controller, int value);

    std::vector<HostRequest> requests() const;
    std::vector<HostRequest> requests(VstInt32 opcode) const;
    void clearRequests();
    // Closes the effect now (effClose) and answers the close entry's result;
    // the destructor does it otherwise.
    VstIntPtr close();

    // Optional answers to requests; return true to answer with result.
    std::function<bool(const HostRequest&, void* ptr, VstIntPtr& result)> answer;

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr handle(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    void* module = nullptr;
    AEffect* aeffect = nullptr;
    VstIntPtr versionAnswer;
    mutable std::mutex mutex;
    std::vector<HostRequest> log;
};

} // namespace dc
