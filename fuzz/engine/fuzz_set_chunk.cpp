// Each input is a state chunk handed to a fresh effect through its record.
// Besides the sanitizers' checks it asserts what a host relies on:
// - a refused chunk leaves the state as it was;
// - an accepted chunk reads back as 564 bytes that reload to themselves;
// - bytes past 564 are never looked at;
// - whatever the bytes, parameters read back within 0..1, curve points
//   within 0..128, and the output stays bounded.
#include "fuzz/engine/FuzzHost.h"

#include <cmath>
#include <cstdint>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

AEffect* create()
{
    AEffect* e = VSTPluginMain(fuzzhost::callback);
    check(e != nullptr);
    return e;
}

// Every value the chunk could set is bounded.
void checkBounded(AEffect* e)
{
    for (VstInt32 i = 0; i < 9; ++i)
    {
        const float v = e->getParameter(e, i);
        check(v >= 0.0f && v <= 1.0f);
    }
    for (int p = 0; p < 128; ++p)
    {
        e->setParameter(e, 10, static_cast<float>(p));
        const float point = e->getParameter(e, 11);
        check(point >= 0.0f && point <= 128.0f);
    }
}

void processShortBlock(AEffect* e)
{
    constexpr int kFrames = 64;
    std::vector<float> l(kFrames), r(kFrames), outL(kFrames), outR(kFrames);
    for (int i = 0; i < kFrames; ++i)
    {
        l[i] = 0.9f * std::sin(0.05f * static_cast<float>(i));
        r[i] = -0.3f * l[i];
    }
    float* in[2] = {l.data(), r.data()};
    float* out[2] = {outL.data(), outR.data()};
    e->processReplacing(e, in, out, kFrames);
    e->process(e, in, out, kFrames);
    // Inputs within 0.9, gains within 4: the filters' outputs stay within a
    // small multiple of full scale; NaN or a runaway level would not.
    for (int i = 0; i < kFrames; ++i)
        check(std::fabs(outL[i]) <= 64.0f && std::fabs(outR[i]) <= 64.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AEffect* e = create();
    const auto before = fuzzhost::chunk(e);
    check(before.size() == 564);

    const VstIntPtr accepted = fuzzhost::loadChunk(e, data, size);
    check(accepted == 0 || accepted == 1);
    const auto after = fuzzhost::chunk(e);
    if (accepted == 0)
        check(after == before);
    else
    {
        check(after.size() == 564);
        check(fuzzhost::loadChunk(e, after.data(), after.size()) == 1);
        check(fuzzhost::chunk(e) == after);
    }

    if (size > 564)
    {
        AEffect* cut = create();
        check(fuzzhost::loadChunk(cut, data, 564) == accepted);
        check(fuzzhost::chunk(cut) == after);
        fuzzhost::dispatch(cut, effClose);
    }

    checkBounded(e);
    processShortBlock(e);
    fuzzhost::readDisplays(e);
    for (VstInt32 i = 0; i < 14; ++i)
        (void)e->getParameter(e, i);
    fuzzhost::dispatch(e, effClose);
    return 0;
}
