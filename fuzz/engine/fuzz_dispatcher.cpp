// Drives a live effect with a sequence of host calls decoded from the input:
// dispatcher opcodes with arbitrary index, value and option, parameter sets and
// gets with any float, and processing of arbitrary audio. Pointer arguments are
// null or point at buffers of the size the opcode's record needs (256 bytes for
// text), filled from the input; closing the effect makes a new one.
#include "fuzz/engine/FuzzHost.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr size_t kTextSize = 256;
constexpr int kMaxCalls = 96;
constexpr int kMaxFrames = 300;

// Which host the effect gets: the entry point with the fuzz host, or the effect
// made directly with no host callback at all.
AEffect* create(FuzzedDataProvider& in)
{
    if (in.ConsumeIntegralInRange(0, 3) == 0)
        return createEffectInstance(nullptr)->getAeffect();
    if (AEffect* e = VSTPluginMain(fuzzhost::callback))
        return e;
    // The entry refused (the host's version answer was 0).
    return createEffectInstance(fuzzhost::callback)->getAeffect();
}

float anyFloat(FuzzedDataProvider& in)
{
    static constexpr float kSpecial[] = {
        0.0f, -0.0f, 1.0f, 0.5f, -1.0f, 2.0f, 1.1666666f, -0.5f, 127.0f, 128.0f, 1e9f, -1e9f, 2147483648.0f,
        -2147483904.0f, std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
        std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    if (in.ConsumeBool())
        return kSpecial[in.ConsumeIntegralInRange<size_t>(0, std::size(kSpecial) - 1)];
    return std::bit_cast<float>(in.ConsumeIntegral<uint32_t>());
}

VstInt32 anyIndex(FuzzedDataProvider& in)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(-2, 16) : in.ConsumeIntegral<VstInt32>();
}

// A zeroed heap block of exactly n bytes, its start filled from the input and
// its last byte kept 0 so text readers find an end.
std::vector<unsigned char> block(FuzzedDataProvider& in, size_t n)
{
    std::vector<unsigned char> b(n, 0);
    const auto fill = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, n));
    std::copy(fill.begin(), fill.end(), b.begin());
    if (n)
        b[n - 1] = 0;
    return b;
}

size_t recordSize(VstInt32 opcode)
{
    switch (opcode)
    {
    case effEditGetRect:
        return sizeof(ERect*);
    case effEditDraw:
        return sizeof(ERect);
    case effGetInputProperties:
    case effGetOutputProperties:
        return sizeof(VstPinProperties);
    case effGetParameterProperties:
        return sizeof(VstParameterProperties);
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return sizeof(VstPatchChunkInfo);
    default:
        return kTextSize; // text, and records the effect never looks into
    }
}

void processEvents(AEffect* e, FuzzedDataProvider& in)
{
    struct
    {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[8];
    } list{};
    VstMidiEvent midi[8]{};
    list.numEvents = in.ConsumeIntegralInRange(0, 8);
    for (VstInt32 i = 0; i < list.numEvents; ++i)
    {
        VstMidiEvent& m = midi[i];
        m.type = in.ConsumeBool() ? kVstMidiType : in.ConsumeIntegral<VstInt32>();
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = in.ConsumeIntegral<VstInt32>();
        for (char& c : m.midiData)
            c = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        if (in.ConsumeBool())
            m.midiData[0] = static_cast<char>(0xB0 | (m.midiData[0] & 0x0F));
        list.events[i] = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : reinterpret_cast<VstEvent*>(&m);
    }
    fuzzhost::dispatch(e, effProcessEvents, anyIndex(in), in.ConsumeIntegral<VstIntPtr>(), &list, anyFloat(in));
}

// Two arrangements of a channel count the input picks, each in a block exactly
// as long as that count needs.
void setSpeakerArrangement(AEffect* e, FuzzedDataProvider& in)
{
    auto make = [&in] {
        const VstInt32 channels = in.ConsumeIntegralInRange(0, 16);
        const size_t size = offsetof(VstSpeakerArrangement, speakers) + sizeof(VstSpeakerProperties) * channels;
        std::unique_ptr<unsigned char[]> b(new unsigned char[size]());
        auto* a = reinterpret_cast<VstSpeakerArrangement*>(b.get());
        a->type = in.ConsumeIntegral<VstInt32>();
        a->numChannels = channels;
        return b;
    };
    auto input = make();
    auto output = make();
    fuzzhost::dispatch(e, effSetSpeakerArrangement, anyIndex(in), reinterpret_cast<VstIntPtr>(input.get()),
                       output.get(), anyFloat(in));
}

void getSpeakerArrangement(AEffect* e, FuzzedDataProvider& in)
{
    VstSpeakerArrangement* input = nullptr;
    VstSpeakerArrangement* output = nullptr;
    fuzzhost::dispatch(e, effGetSpeakerArrangement, anyIndex(in), reinterpret_cast<VstIntPtr>(&input), &output,
                       anyFloat(in));
}

void setChunk(AEffect* e, FuzzedDataProvider& in)
{
    auto bytes = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 700));
    // The size the host declares never exceeds its block.
    const size_t declared = in.ConsumeIntegralInRange<size_t>(0, bytes.size());
    fuzzhost::loadChunk(e, bytes.data(), declared);
}

// Returns the effect to use from now on: closing makes a new one.
AEffect* dispatchOne(AEffect* e, FuzzedDataProvider& in)
{
    const VstInt32 opcode =
        in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<VstInt32>() : in.ConsumeIntegralInRange<VstInt32>(-1, 80);
    switch (opcode)
    {
    case effClose:
        fuzzhost::dispatch(e, effClose);
        return create(in);
    case effGetChunk:
        (void)fuzzhost::chunk(e);
        return e;
    case effSetChunk:
        setChunk(e, in);
        return e;
    case effProcessEvents:
        processEvents(e, in);
        return e;
    case effSetSpeakerArrangement:
        setSpeakerArrangement(e, in);
        return e;
    case effGetSpeakerArrangement:
        getSpeakerArrangement(e, in);
        return e;
    case effEditOpen:
        // Opening needs a real parent window; an effect without one gets null.
        fuzzhost::dispatch(e, opcode, anyIndex(in), in.ConsumeIntegral<VstIntPtr>(), nullptr, anyFloat(in));
        return e;
    default:
        break;
    }
    const VstInt32 index = anyIndex(in);
    const VstIntPtr value = in.ConsumeIntegral<VstIntPtr>();
    const float opt = anyFloat(in);
    std::vector<unsigned char> buffer;
    if (in.ConsumeIntegralInRange(0, 3) != 0)
        buffer = block(in, recordSize(opcode));
    // Questions the effect knows the answer to, which random bytes rarely spell.
    static constexpr const char* kQuestions[] = {"receiveVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert",
                                                 "2in2out", "1in2out", "bypass", "Init"};
    if (!buffer.empty() && in.ConsumeBool())
    {
        const char* q = kQuestions[in.ConsumeIntegralInRange<size_t>(0, std::size(kQuestions) - 1)];
        std::memcpy(buffer.data(), q, std::min(buffer.size() - 1, std::strlen(q) + 1));
    }
    fuzzhost::dispatch(e, opcode, index, value, buffer.empty() ? nullptr : buffer.data(), opt);
    return e;
}

void process(AEffect* e, FuzzedDataProvider& in)
{
    const VstInt32 frames = in.ConsumeIntegralInRange(-4, kMaxFrames);
    const size_t n = static_cast<size_t>(std::max(frames, 0));
    std::vector<float> inL(n), inR(n), outL(n), outR(n);
    const bool raw = in.ConsumeBool();
    for (size_t i = 0; i < n; ++i)
    {
        const float t = 0.07f * static_cast<float>(i);
        inL[i] = raw && in.remaining_bytes() >= 8 ? anyFloat(in) : 0.8f * __builtin_sinf(t);
        inR[i] = raw && in.remaining_bytes() >= 8 ? anyFloat(in) : -0.4f * __builtin_sinf(1.3f * t);
    }
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    // Hosts may process in place.
    float** target = in.ConsumeBool() ? ins : outs;
    switch (in.ConsumeIntegralInRange(0, 2))
    {
    case 0:
        e->processReplacing(e, ins, target, frames);
        break;
    case 1:
        e->process(e, ins, target, frames);
        break;
    default:
    {
        std::vector<double> dl(n), dr(n);
        double* d[2] = {dl.data(), dr.data()};
        e->processDoubleReplacing(e, d, d, frames);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    auto& host = fuzzhost::answers();
    host = {};
    if (in.ConsumeIntegralInRange(0, 7) == 0)
    {
        host.version = in.ConsumeIntegral<VstInt32>();
        host.sampleRate = in.ConsumeIntegral<VstIntPtr>();
        host.blockSize = in.ConsumeIntegral<VstIntPtr>();
    }
    AEffect* e = create(in);
    for (int call = 0; call < kMaxCalls && in.remaining_bytes() > 0; ++call)
    {
        switch (in.ConsumeIntegralInRange(0, 4))
        {
        case 0:
        case 1:
            e = dispatchOne(e, in);
            break;
        case 2:
            e->setParameter(e, anyIndex(in), anyFloat(in));
            break;
        case 3:
            (void)e->getParameter(e, anyIndex(in));
            break;
        default:
            process(e, in);
            break;
        }
    }
    // Whatever the host sent, the parameters hold values within 0..1.
    for (VstInt32 i = 0; i < 9; ++i)
    {
        const float v = e->getParameter(e, i);
        if (!(v >= 0.0f && v <= 1.0f))
            __builtin_trap();
    }
    fuzzhost::readDisplays(e);
    fuzzhost::dispatch(e, effClose);
    return 0;
}
