// Random sequences of what a VST host does to the effect, without its editor:
// opcodes with odd arguments, parameter values of every kind, damaged and
// cut-off chunks, MIDI, block sizes and processing. Whatever came before,
// every block comes out finite and bounded, parameters read back in 0..1,
// chunks hold only values in range and display texts are terminated.
#include "tests/support/RandomOperations.h"
#include "tests/support/StateChunks.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{

using namespace dc::random;

constexpr int kStepsPerSequence = 120;
constexpr VstInt32 kMaxBlock = 2048;
// Pre-gain, shaper and post-gain are each at most unity or a clamp; the
// resonant filters add a little. A damaged state once gave 8.4e6.
constexpr float kBound = 8.0f;
constexpr unsigned char kUnwritten = 0x7F;

// Opcodes sent with a zeroed 1024-byte block (or null) and small arguments;
// the editor's, close, chunk and event opcodes are sent on their own.
constexpr VstInt32 kPlainOpcodes[] = {
    effGetProgram,         effGetVu,           effIdentify,           effCanBeAutomated,       effGetNumProgramCategories,
    effCopyProgram,        effConnectInput,    effConnectOutput,      effGetPlugCategory,      effGetCurrentPosition,
    effGetDestinationBuffer, effSetBypass,     effGetEffectName,      effGetErrorText,         effGetVendorString,
    effGetProductString,   effGetVendorVersion, effVendorSpecific,    effGetTailSize,          effIdle,
    effGetIcon,            effKeysRequired,    effGetVstVersion,      effSetEditKnobMode,      effGetMidiProgramName,
    effGetCurrentMidiProgram, effGetMidiProgramCategory, effHasMidiProgramsChanged, effGetMidiKeyName,
    effBeginSetProgram,    effEndSetProgram,   effStartProcess,       effStopProcess,          effSetTotalSampleToProcess,
    effSetPanLaw,          effSetProcessPrecision, effGetNumMidiInputChannels, effGetNumMidiOutputChannels,
    effGetInputProperties, effGetOutputProperties, effGetParameterProperties, effGetProgramNameIndexed,
    effString2Parameter,   effCanDo};

std::vector<uint8_t> randomChunk(Rng& rng)
{
    std::vector<uint8_t> chunk = dc::chunks::defaultChunk();
    switch (between(rng, 0, 5))
    {
    case 0:
        return chunk;
    case 1:
        return dc::chunks::withCurve(chunk, between(rng, 0, 1) ? INT32_MIN : INT32_MAX);
    case 2:
        for (int i = 0; i < 128; ++i)
        {
            const int32_t point = static_cast<int32_t>(rng());
            std::memcpy(chunk.data() + dc::chunks::kCurveOffset + 4 * i, &point, 4);
        }
        return chunk;
    case 3:
        for (int n = between(rng, 1, 4); n > 0; --n)
            chunk = dc::chunks::withParameter(chunk, between(rng, 0, 8), anyFloat(rng));
        return chunk;
    case 4:
        dc::chunks::putFloat(chunk, 0, chance(rng, 50) ? anyFloat(rng) : 1.005f);
        chunk.resize(static_cast<size_t>(between(rng, 0, 564)));
        return chunk;
    default:
    {
        std::vector<uint8_t> bytes(static_cast<size_t>(between(rng, 0, 1024)));
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(rng());
        return bytes;
    }
    }
}

// One sequence; false (after reporting) at the first broken promise.
class Sequence : SequenceLog
{
public:
    explicit Sequence(uint64_t seed) : SequenceLog(seed), rng(seed) {}

    bool run()
    {
        host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        host.dispatch(effSetBlockSize, 0, blockSize);
        host.dispatch(effMainsChanged, 0, 1);
        for (step = 0; step < kStepsPerSequence; ++step)
        {
            if (!operate())
                return false;
            host.clearRequests();
        }
        return true;
    }

private:
    bool operate()
    {
        switch (between(rng, 0, 11))
        {
        case 0:
        case 1:
        {
            const VstInt32 index = between(rng, -2, 15);
            const float value = anyFloat(rng);
            done << " set " << index << "=" << value;
            host.setParameter(index, value);
            return true;
        }
        case 2:
            return readParameters();
        case 3:
            return readTexts();
        case 4:
        {
            std::vector<uint8_t> chunk = randomChunk(rng);
            done << " setChunk(" << chunk.size() << ")";
            host.dispatch(effSetChunk, between(rng, 0, 1), static_cast<VstIntPtr>(chunk.size()),
                          chunk.empty() ? nullptr : chunk.data());
            return true;
        }
        case 5:
            return readChunk();
        case 6:
            sendMidi();
            return true;
        case 7:
            changeSetting();
            return true;
        case 8:
            plainOpcode();
            return true;
        default:
            return process();
        }
    }

    bool readParameters()
    {
        done << " get";
        for (VstInt32 i = 0; i < 9; ++i)
        {
            const float value = host.getParameter(i);
            if (!(value >= 0.0f && value <= 1.0f))
                return fail("parameter " + std::to_string(i) + " reads " + std::to_string(value));
        }
        return true;
    }

    bool readTexts()
    {
        const VstInt32 opcodes[] = {effGetParamDisplay, effGetParamLabel, effGetParamName, effGetProgramName};
        const VstInt32 opcode = opcodes[between(rng, 0, 3)];
        const VstInt32 index = between(rng, -2, 15);
        done << " text " << opcode << "/" << index;
        unsigned char text[256];
        std::memset(text, kUnwritten, sizeof text);
        host.dispatch(opcode, index, 0, text);
        const bool terminated = std::find(text, text + 25, 0) != text + 25;
        const bool untouched = std::all_of(text, text + sizeof text, [](unsigned char c) { return c == kUnwritten; });
        const bool required = opcode == effGetProgramName || (opcode == effGetParamDisplay && index >= 0 && index < 9);
        if (!terminated && (required || !untouched))
            return fail("text of opcode " + std::to_string(opcode) + " for " + std::to_string(index) + " not terminated");
        return true;
    }

    bool readChunk()
    {
        done << " getChunk";
        void* data = nullptr;
        const VstIntPtr size = host.dispatch(effGetChunk, between(rng, 0, 1), 0, &data);
        if (size != static_cast<VstIntPtr>(dc::chunks::kChunkSize) || !data)
            return fail("chunk of " + std::to_string(size) + " bytes");
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (size_t offset : dc::chunks::kParameterOffsets)
        {
            float value;
            std::memcpy(&value, bytes + offset, 4);
            if (!(value >= 0.0f && value <= 1.0f))
                return fail("chunk holds " + std::to_string(value) + " at " + std::to_string(offset));
        }
        for (int i = 0; i < 128; ++i)
        {
            int32_t point;
            std::memcpy(&point, bytes + dc::chunks::kCurveOffset + 4 * i, 4);
            if (point < 0 || point > 128)
                return fail("chunk holds curve point " + std::to_string(point));
        }
        return true;
    }

    void sendMidi()
    {
        const int count = between(rng, 0, 8);
        done << " midi(" << count << ")";
        std::vector<VstMidiEvent> events(static_cast<size_t>(count));
        std::vector<VstIntPtr> list(2 + static_cast<size_t>(count) + 1, 0);
        auto* header = reinterpret_cast<VstEvents*>(list.data());
        header->numEvents = count;
        for (int i = 0; i < count; ++i)
        {
            VstMidiEvent& e = events[static_cast<size_t>(i)];
            e.type = chance(rng, 90) ? kVstMidiType : between(rng, 0, 7);
            e.byteSize = sizeof(VstMidiEvent);
            e.deltaFrames = between(rng, -1, kMaxBlock);
            e.midiData[0] = static_cast<char>(chance(rng, 70) ? 0xB0 | between(rng, 0, 15) : between(rng, 0, 255));
            e.midiData[1] = static_cast<char>(chance(rng, 70) ? between(rng, 70, 72) : between(rng, 0, 255));
            e.midiData[2] = static_cast<char>(between(rng, 0, 255));
            eventSlots(header)[i] = reinterpret_cast<VstEvent*>(&e);
        }
        host.dispatch(effProcessEvents, 0, 0, header);
    }

    void changeSetting()
    {
        static constexpr float kRates[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 384000.0f};
        switch (between(rng, 0, 4))
        {
        case 0:
        {
            const float rate = kRates[between(rng, 0, 6)];
            done << " rate " << rate;
            host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            break;
        }
        case 1:
            blockSize = between(rng, 1, kMaxBlock);
            done << " block " << blockSize;
            host.dispatch(effSetBlockSize, 0, blockSize);
            break;
        case 2:
        {
            const int on = between(rng, 0, 1);
            done << " mains " << on;
            host.dispatch(effMainsChanged, 0, on);
            break;
        }
        case 3:
        {
            const VstIntPtr program = between(rng, -2, 3);
            done << " program " << program;
            host.dispatch(effSetProgram, 0, program);
            break;
        }
        default:
        {
            char name[64] = {};
            for (int i = between(rng, 0, 40); i > 0; --i)
                name[i - 1] = static_cast<char>(between(rng, 32, 126));
            done << " name";
            host.dispatch(effSetProgramName, 0, 0, name);
            break;
        }
        }
    }

    void plainOpcode()
    {
        const VstInt32 opcode = kPlainOpcodes[between(rng, 0, static_cast<int>(std::size(kPlainOpcodes)) - 1)];
        const VstInt32 index = between(rng, -2, 15);
        const VstIntPtr value = between(rng, -1, 2);
        done << " op " << opcode << "/" << index;
        alignas(16) char block[1024] = {};
        if (opcode == effCanDo || opcode == effString2Parameter)
            std::strcpy(block, chance(rng, 50) ? "receiveVstMidiEvent" : "0.25");
        host.dispatch(opcode, index, value, chance(rng, 90) ? block : nullptr, anyFloat(rng));
    }

    bool process()
    {
        const VstInt32 frames = between(rng, 0, blockSize);
        const int signal = between(rng, 0, 3);
        done << " process " << frames;
        std::vector<float> left(static_cast<size_t>(frames)), right(left.size()), outLeft(left.size()), outRight(left.size());
        for (VstInt32 i = 0; i < frames; ++i)
        {
            const float phase = static_cast<float>(position + i) * 0.031f;
            const float value = signal == 0   ? 0.5f * std::sin(phase)
                                : signal == 1 ? std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng)
                                : signal == 2 ? (std::sin(phase) > 0 ? 1.0f : -1.0f)
                                              : 0.0f;
            left[static_cast<size_t>(i)] = value;
            right[static_cast<size_t>(i)] = -value;
        }
        position += frames;
        const bool inPlace = chance(rng, 25);
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {inPlace ? left.data() : outLeft.data(), inPlace ? right.data() : outRight.data()};
        host.processReplacing(inputs, outputs, frames);
        for (float* channel : outputs)
            for (VstInt32 i = 0; i < frames; ++i)
                if (!(std::fabs(channel[i]) <= kBound))
                    return fail("output sample " + std::to_string(channel[i]));
        return true;
    }

    Rng rng;
    dc::TestHost host{dc::TestHost::pluginPath()};
    VstInt32 blockSize = 512;
    long position = 0;
};

TEST(RandomHostOperations, VSTSequencesKeepEveryPromise)
{
    const long sequences = runSequences(3.0, 1, [](uint64_t seed) { return Sequence(seed).run(); });
    RecordProperty("sequences", static_cast<int>(sequences));
    std::printf("%ld sequences of %d steps\n", sequences, kStepsPerSequence);
}

} // namespace
