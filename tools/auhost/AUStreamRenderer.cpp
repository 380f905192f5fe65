// A component opened for a render: formats, slice size, the starting
// state and the input callback, then one render cycle per block.
#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUSession.h"
#include "tools/auhost/AUState.h"

#include <algorithm>
#include <cstring>

struct AUStreamRenderer::State
{
    AUSession session;
    uint32_t inputChannels;
    uint32_t blockSize;
    std::vector<std::vector<float>> planar;
    Float64 sampleTime = 0.0;
    State(const std::string& bundle, uint32_t channels, uint32_t block)
        : session(bundle), inputChannels(channels), blockSize(block), planar(channels, std::vector<float>(block))
    {
    }
    static OSStatus provide(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                            AudioBufferList* list)
    {
        auto* state = static_cast<State*>(refCon);
        if (frames > state->blockSize)
            return paramErr;
        for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        {
            if (!list->mBuffers[c].mData)
                return paramErr;
            const auto& source = state->planar[std::min<size_t>(c, state->planar.size() - 1)];
            std::memcpy(list->mBuffers[c].mData, source.data(), frames * sizeof(float));
        }
        return noErr;
    }
};

AUStreamRenderer::AUStreamRenderer(const AUCommandLine& line, int32_t sampleRate, uint32_t inputChannels)
    : state(new State(line.bundle, inputChannels, static_cast<uint32_t>(line.render.blockSize)))
{
    try
    {
        AUSession& session = state->session;
        prepareUnit(session, line);
        session.setFormat(sampleRate, inputChannels);
        session.setMaximumFrames(state->blockSize);
        AURenderCallbackStruct callback{&State::provide, state};
        check(AudioUnitSetProperty(session.unit(), kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                                   sizeof(callback)),
              "setting the input callback");
        check(AudioUnitInitialize(session.unit()), "initialising the unit");
    }
    catch (...)
    {
        delete state;
        throw;
    }
}

AUStreamRenderer::~AUStreamRenderer()
{
    AudioUnitUninitialize(state->session.unit());
    delete state;
}

void AUStreamRenderer::process(const float* input, float* output, uint32_t frames, const std::vector<AUMidiEvent>& events)
{
    AudioUnit unit = state->session.unit();
    for (uint32_t c = 0; c < state->inputChannels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
            state->planar[c][i] = input[i * state->inputChannels + c];
    for (const AUMidiEvent& m : events)
        check(MusicDeviceMIDIEvent(unit, m.status, m.data1, m.data2, m.frame), "sending MIDI");
    struct
    {
        UInt32 mNumberBuffers;
        AudioBuffer mBuffers[2];
    } list{};
    list.mNumberBuffers = 2;
    for (auto& buffer : list.mBuffers)
    {
        buffer.mNumberChannels = 1;
        buffer.mDataByteSize = frames * sizeof(float);
        buffer.mData = nullptr;
    }
    AudioTimeStamp time{};
    time.mSampleTime = state->sampleTime;
    time.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    check(AudioUnitRender(unit, &flags, &time, 0, frames, reinterpret_cast<AudioBufferList*>(&list)), "rendering");
    state->sampleTime += frames;
    for (UInt32 c = 0; c < 2; ++c)
    {
        const auto* data = static_cast<const float*>(list.mBuffers[c].mData);
        for (UInt32 i = 0; i < frames; ++i)
            output[i * 2 + c] = data[i];
    }
}
