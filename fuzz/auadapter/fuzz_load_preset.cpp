// Feeds arbitrary bytes to loadFXPOrFXB of a live Dithercrunch instance
// loaded from its module. Any outcome but a crash, a sanitizer report or an
// exception other than the adapter's own is fine.
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"
#include "platform/SharedLibraryBundle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

class QuietHost : public VSTHost
{
public:
    void getVendor(VSTPlugIn&, char* text) override { std::strcpy(text, "fuzz"); }
    void getProduct(VSTPlugIn&, char* text) override { std::strcpy(text, "fuzz"); }
    int32_t getVersion(VSTPlugIn&) override { return 1; }
    bool canDo(VSTPlugIn&, const char*) override { return false; }
    VstTimeInfo* getTimeInfo(VSTPlugIn&, int32_t) override { return &time; }
    void beginEdit(VSTPlugIn&, int32_t) override {}
    void automate(VSTPlugIn&, int32_t, float) override {}
    void endEdit(VSTPlugIn&, int32_t) override {}
    bool isIOPinConnected(VSTPlugIn&, bool, int32_t) override { return true; }
    void idle(VSTPlugIn&) override {}
    void updateDisplay(VSTPlugIn&) override {}
    void resizeWindow(VSTPlugIn&, int32_t, int32_t) override {}

private:
    VstTimeInfo time{};
};

QuietHost host;
VSTPlugIn* plugIn = nullptr;
float left[64], right[64];
float* channels[] = {left, right};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* path = std::getenv("DC_FUZZ_PLUGIN");
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(path ? path : DC_PLUGIN_PATH);
    if (!bundle)
    {
        std::fprintf(stderr, "cannot find the effect module\n");
        std::abort();
    }
    plugIn = new VSTPlugIn(host, bundle, 48000.0f, 64);
    bundle->release();
    plugIn->open();
    plugIn->resume();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so that any read past the end is caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    try
    {
        plugIn->loadFXPOrFXB(size, copy.get());
    }
    catch (const TwinfoldException&)
    {
    }
    // The effect must still render after whatever it was given.
    for (int i = 0; i < 64; ++i)
        left[i] = right[i] = 0.25f * static_cast<float>((i % 8) - 4) / 4.0f;
    plugIn->processReplacing(channels, channels, 64);
    return 0;
}
