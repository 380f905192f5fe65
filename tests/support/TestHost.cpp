#include "tests/support/Sanitizers.h"
#include "tests/support/TestHost.h"

#include <dlfcn.h>
#include <stdexcept>

namespace dc {

namespace {
// The host being loaded: requests made during VSTPluginMain come before the
// host knows the effect record.
thread_local TestHost* loadingHost = nullptr;

// Under AddressSanitizer the module stays mapped after dlclose, so the leak
// check at exit still sees its libraries' caches as reachable and can name
// the code of real leaks.
#if defined(DC_UNDER_ASAN)
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif
}

TestHost::TestHost(const std::string& modulePath, VstIntPtr versionAnswer) : versionAnswer(versionAnswer)
{
    module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (!module)
        throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(module, "VSTPluginMain"));
    if (!entry)
        throw std::runtime_error("no VSTPluginMain in " + modulePath);
    loadingHost = this;
    aeffect = entry(&TestHost::callback);
    loadingHost = nullptr;
    if (aeffect)
        aeffect->user = this;
}

TestHost::~TestHost()
{
    close();
    if (module)
        dlclose(module);
}

std::string TestHost::pluginPath()
{
    return DC_PLUGIN_PATH;
}

VstIntPtr TestHost::close()
{
    if (!aeffect)
        return 0;
    AEffect* closing = aeffect;
    aeffect = nullptr;
    return closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr TestHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

std::string TestHost::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer, 0.0f);
    return buffer;
}

std::vector<unsigned char> TestHost::chunk()
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data, 0.0f);
    if (!data || size <= 0)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

VstIntPtr TestHost::loadChunk(const std::vector<unsigned char>& data)
{
    auto copy = data; // the effect must not rely on the host's block after the call
    return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.empty() ? nullptr : copy.data(), 0.0f);
}

VstIntPtr TestHost::sendControlChange(int channel, int controller, int value)
{
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    midi.midiData[0] = static_cast<char>(0xB0 | (channel & 0x0F));
    midi.midiData[1] = static_cast<char>(controller);
    midi.midiData[2] = static_cast<char>(value);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&midi);
    return dispatch(effProcessEvents, 0, 0, &events, 0.0f);
}

std::vector<HostRequest> TestHost::requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::vector<HostRequest> TestHost::requests(VstInt32 opcode) const
{
    std::vector<HostRequest> out;
    for (const auto& r : requests())
        if (r.opcode == opcode)
            out.push_back(r);
    return out;
}

void TestHost::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex);
    log.clear();
}

VstIntPtr TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    TestHost* host = effect && effect->user ? static_cast<TestHost*>(effect->user) : loadingHost;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    return host->handle(effect, opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::handle(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    const HostRequest request{opcode, index, value, opt, effect != nullptr};
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(request);
    }
    VstIntPtr result = 0;
    if (answer && answer(request, ptr, result))
        return result;
    switch (opcode)
    {
    case audioMasterVersion:
        return versionAnswer;
    case audioMasterGetSampleRate:
        return 44100;
    case audioMasterGetBlockSize:
        return 512;
    default:
        return 0;
    }
}

} // namespace dc
