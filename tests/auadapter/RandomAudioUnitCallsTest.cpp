// Random sequences of what an AudioUnit host does to the component:
// selectors with odd scopes and elements, parameter values of every kind,
// property reads and writes, saved states carrying damaged chunks, formats,
// slice sizes, MIDI and render calls with every shape of buffer list.
// Whatever came before, a render that succeeds delivers finite, bounded
// samples, one whose buffers cannot hold the frames is refused, and
// parameters read back within their declared range.
#include "ComponentTestSupport.h"
#include "tests/support/RandomOperations.h"
#include "tests/support/StateChunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace ComponentTest;
using namespace dc::random;

namespace
{

constexpr int kStepsPerSequence = 100;
constexpr UInt32 kMaxSlice = 4096;
constexpr float kBound = 8.0f; // as for the VST form: a damaged state once gave 8.4e6

OSStatus feedSine(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp* stamp, UInt32, UInt32 frames, AudioBufferList* list)
{
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<float*>(list->mBuffers[c].mData)[i] =
                0.5f * static_cast<float>(std::sin(0.031 * (stamp->mSampleTime + i) + c));
    return noErr;
}

CFDataRef dataOf(const std::vector<uint8_t>& bytes)
{
    return CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
}

// Properties whose value the caller owns, by ID: released after reading.
void releaseValue(AudioUnitPropertyID id, const std::vector<uint8_t>& value, UInt32 size)
{
    auto reference = [&](size_t at) {
        CFTypeRef object = nullptr;
        std::memcpy(&object, value.data() + at, sizeof object);
        if (object)
            CFRelease(object);
    };
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_ElementName:
    case kAudioUnitProperty_ParameterValueStrings:
        reference(0);
        break;
    case kAudioUnitProperty_CocoaUI:
        reference(0);
        reference(sizeof(void*));
        break;
    case kAudioUnitProperty_PresentPreset:
        if (size >= sizeof(AUPreset))
            reference(offsetof(AUPreset, presetName));
        break;
    default:
        break;
    }
}

class Sequence : SequenceLog
{
public:
    Sequence(uint64_t seed, const Bundle& bundle) : SequenceLog(seed), rng(seed), unit(open(bundle)) {}
    ~Sequence()
    {
        if (unit)
            CloseComponent(unit);
        if (goodState)
            CFRelease(goodState);
    }

    bool run()
    {
        if (!unit)
            return fail("the unit does not open");
        CFPropertyListRef state = nullptr;
        UInt32 size = sizeof state;
        if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size) != noErr)
            return fail("no ClassInfo");
        goodState = static_cast<CFDictionaryRef>(state);
        if (chance(rng, 80))
            setInputCallback(unit, &feedSine, nullptr);
        for (step = 0; step < kStepsPerSequence; ++step)
            if (!operate())
                return false;
        return true;
    }

private:
    AudioUnitScope anyScope() { return chance(rng, 80) ? AudioUnitScope{kAudioUnitScope_Global} : static_cast<AudioUnitScope>(between(rng, 1, 4)); }

    bool operate()
    {
        switch (between(rng, 0, 13))
        {
        case 0:
        case 1:
        {
            const auto id = static_cast<AudioUnitParameterID>(between(rng, -1, 12));
            const float value = anyFloat(rng) * (chance(rng, 50) ? 100.0f : 1.0f);
            done << " setParameter " << static_cast<int>(id) << "=" << value;
            AudioUnitSetParameter(unit, id, anyScope(), 0, value, 0);
            return true;
        }
        case 2:
            return readParameters();
        case 3:
            scheduleParameters();
            return true;
        case 4:
            setState();
            return true;
        case 5:
            return readProperty();
        case 6:
            setPreset();
            return true;
        case 7:
            setFormat();
            return true;
        case 8:
        {
            maxFrames = static_cast<UInt32>(between(rng, 0, static_cast<int>(kMaxSlice)));
            done << " slice " << maxFrames;
            AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, anyScope(), 0, &maxFrames, sizeof maxFrames);
            UInt32 size = sizeof maxFrames;
            AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &maxFrames, &size);
            return true;
        }
        case 9:
        {
            done << " midi";
            MusicDeviceMIDIEvent(unit, static_cast<UInt32>(between(rng, 0, 255)), static_cast<UInt32>(between(rng, 60, 80)),
                                 static_cast<UInt32>(between(rng, 0, 255)), static_cast<UInt32>(between(rng, 0, 600)));
            return true;
        }
        case 10:
            lifecycle();
            return true;
        default:
            return render();
        }
    }

    bool readParameters()
    {
        done << " getParameters";
        for (AudioUnitParameterID id = 0; id < 9; ++id)
        {
            AudioUnitParameterInfo info{};
            UInt32 size = sizeof info;
            AudioUnitParameterValue value = 0;
            if (AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, &size) != noErr ||
                AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value) != noErr)
                return fail("parameter " + std::to_string(id) + " cannot be read");
            if (!(value >= info.minValue && value <= info.maxValue))
                return fail("parameter " + std::to_string(id) + " reads " + std::to_string(value));
        }
        return true;
    }

    void scheduleParameters()
    {
        AudioUnitParameterEvent events[4]{};
        const int count = between(rng, 0, 4);
        for (int i = 0; i < count; ++i)
        {
            events[i].scope = anyScope();
            events[i].parameter = static_cast<AudioUnitParameterID>(between(rng, -1, 10));
            events[i].eventType = chance(rng, 80) ? kParameterEvent_Immediate : kParameterEvent_Ramped;
            events[i].eventValues.immediate.value = anyFloat(rng) * 50.0f;
        }
        done << " schedule " << count;
        AudioUnitScheduleParameters(unit, events, static_cast<UInt32>(count));
    }

    // The unit's own state, or that state carrying a damaged record.
    void setState()
    {
        CFMutableDictionaryRef document =
            CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        for (const char* key : {"version", "type", "subtype", "manufacturer", "name", "vstdata", "ProgramNumber"})
            if (CFTypeRef value = CFDictionaryGetValue(goodState, __CFStringMakeConstantString(key)))
                CFDictionarySetValue(document, __CFStringMakeConstantString(key), value);
        const int kind = between(rng, 0, 5);
        done << " setState " << kind;
        if (kind > 0)
        {
            std::vector<uint8_t> chunk = dc::chunks::defaultChunk();
            if (kind == 1)
                chunk = dc::chunks::withCurve(chunk, chance(rng, 50) ? INT32_MIN : static_cast<int32_t>(rng()));
            else if (kind == 2)
                chunk = dc::chunks::withParameter(chunk, between(rng, 0, 8), anyFloat(rng) * 1e6f);
            else if (kind == 3)
                chunk.resize(static_cast<size_t>(between(rng, 0, 563)));
            std::vector<uint8_t> record = dc::chunks::chunkRecord(chunk, chance(rng, 50));
            if (kind == 4)
                record.resize(static_cast<size_t>(between(rng, 0, static_cast<int>(record.size()))));
            if (kind == 5)
                for (uint8_t& b : record)
                    if (chance(rng, 3))
                        b = static_cast<uint8_t>(rng());
            CFDataRef data = dataOf(record);
            CFDictionarySetValue(document, CFSTR("vstdata"), data);
            CFRelease(data);
        }
        CFPropertyListRef value = document;
        AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, anyScope(), 0, &value, sizeof value);
        CFRelease(document);
    }

    bool readProperty()
    {
        const auto id = static_cast<AudioUnitPropertyID>(chance(rng, 90) ? between(rng, 0, 40) : 1000);
        const AudioUnitScope scope = anyScope();
        const auto element = static_cast<AudioUnitElement>(between(rng, 0, 2));
        done << " getProperty " << id << "/" << scope << "/" << element;
        UInt32 size = 0;
        Boolean writable = false;
        if (AudioUnitGetPropertyInfo(unit, id, scope, element, &size, &writable) != noErr)
            return true;
        std::vector<uint8_t> value(std::max<size_t>(size, 64), 0);
        if (id == kAudioUnitProperty_ParameterStringFromValue || id == kAudioUnitProperty_ParameterValueFromString)
            return true; // records with pointers of the caller's; not answered by this effect
        UInt32 given = chance(rng, 80) ? size : static_cast<UInt32>(between(rng, 0, static_cast<int>(size)));
        if (AudioUnitGetProperty(unit, id, scope, element, value.data(), &given) == noErr)
            releaseValue(id, value, given);
        return true;
    }

    void setPreset()
    {
        AUPreset preset{between(rng, -2, 2), chance(rng, 50) ? CFSTR("Random") : nullptr};
        const AudioUnitPropertyID id = chance(rng, 50) ? kAudioUnitProperty_CurrentPreset : kAudioUnitProperty_PresentPreset;
        done << " preset " << preset.presetNumber;
        AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &preset, chance(rng, 50) ? sizeof preset : 4);
    }

    void setFormat()
    {
        static constexpr Float64 kRates[] = {8000.0, 44100.0, 48000.0, 96000.0, 192000.0};
        AudioStreamBasicDescription format = floatFormat(kRates[between(rng, 0, 4)], static_cast<UInt32>(between(rng, 0, 3)));
        if (chance(rng, 20))
            format.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved;
        static constexpr Float64 kNoRates[] = {0.0, -44100.0, std::numeric_limits<Float64>::quiet_NaN(),
                                               std::numeric_limits<Float64>::infinity()};
        if (chance(rng, 10))
            format.mSampleRate = kNoRates[between(rng, 0, 3)]; // refused
        const auto scope = static_cast<AudioUnitScope>(between(rng, 0, 2));
        done << " format " << format.mChannelsPerFrame << "@" << format.mSampleRate << "/" << scope;
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &format, sizeof format);
    }

    void lifecycle()
    {
        switch (between(rng, 0, 2))
        {
        case 0:
            done << " initialize";
            AudioUnitInitialize(unit);
            break;
        case 1:
            done << " uninitialize";
            AudioUnitUninitialize(unit);
            break;
        default:
            done << " reset";
            AudioUnitReset(unit, anyScope(), 0);
            break;
        }
    }

    bool render()
    {
        const UInt32 frames = chance(rng, 95) ? static_cast<UInt32>(between(rng, 0, static_cast<int>(maxFrames))) : maxFrames + 1;
        const int shape = between(rng, 0, 4); // 0 null data, 1 own buffers, 2 short buffers, 3 three buffers, 4 one
        done << " render " << frames << "/" << shape;
        struct
        {
            UInt32 count = 2;
            AudioBuffer buffers[3];
        } list;
        std::vector<float> storage[3];
        list.count = shape == 3 ? 3 : shape == 4 ? 1 : 2;
        for (UInt32 c = 0; c < list.count; ++c)
        {
            const UInt32 room = shape == 2 && c == 1 ? frames / 2 : frames;
            storage[c].assign(std::max<UInt32>(room, 1), 9.0f); // data even where it holds nothing
            list.buffers[c] = {1, room * 4, shape == 0 ? nullptr : storage[c].data()};
        }
        AudioTimeStamp stamp{};
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        stamp.mSampleTime = chance(rng, 90) ? (time += frames) : time;
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
        const bool refused = frames > maxFrames || shape == 3 || (shape == 2 && frames / 2 < frames);
        if (refused)
            return status == paramErr ? true : fail("render answered " + std::to_string(status) + ", not paramErr");
        if (status != noErr)
            return fail("render answered " + std::to_string(status));
        for (UInt32 c = 0; c < list.count; ++c)
            for (UInt32 i = 0; i < frames; ++i)
            {
                const float sample = static_cast<const float*>(list.buffers[c].mData)[i];
                if (!(std::fabs(sample) <= kBound))
                    return fail("output sample " + std::to_string(sample));
            }
        return true;
    }

    Rng rng;
    AudioUnit unit;
    CFDictionaryRef goodState = nullptr;
    UInt32 maxFrames = kMaxSlice;
    Float64 time = 0;
};

TEST(RandomAudioUnitCalls, SequencesKeepEveryPromise)
{
    const Bundle bundle = makeBundle();
    const long sequences = runSequences(3.0, 1, [&](uint64_t seed) { return Sequence(seed, bundle).run(); });
    RecordProperty("sequences", static_cast<int>(sequences));
    std::printf("%ld sequences of %d steps\n", sequences, kStepsPerSequence);
}

} // namespace
