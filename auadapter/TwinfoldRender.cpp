// The audio path: buses from the channel table, the render cycle with its
// notifications, input from callbacks, connected units or silence, the MIDI
// queue, host time, stream formats, sample rate, slice size, latency and tail.
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/VSTPlugIn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace
{

// A buffer list with room for one mono buffer per channel of the widest bus.
struct InputBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[TwinfoldComponent::kMaxChannels];
};
static_assert(offsetof(InputBufferList, mBuffers) == offsetof(AudioBufferList, mBuffers));

// True when each of the first `count` buffers that has data holds `frames`
// samples. Buffers without data are handed the component's own, and a
// buffer that is the component's own (`own[i]`) holds them all.
bool holdsFrames(const AudioBuffer* buffers, UInt32 count, UInt32 frames, float* const* own)
{
    const UInt64 bytes = static_cast<UInt64>(frames) * sizeof(float);
    for (UInt32 i = 0; i < count; ++i)
        if (buffers[i].mData && buffers[i].mData != own[i] && buffers[i].mDataByteSize < bytes)
            return false;
    return true;
}

CFStringRef pinLabel(const VstPinProperties& properties)
{
    char label[sizeof(properties.label) + 1];
    std::memcpy(label, properties.label, sizeof(properties.label));
    label[sizeof(properties.label)] = '\0';
    return CFStringCreateWithCString(nullptr, label, kCFStringEncodingMacRoman);
}

} // namespace

void TwinfoldComponent::deriveBusLayout()
{
    int32_t inputs = 0, outputs = 0;
    for (int32_t c = 0; c < kChannelConfigCount; ++c)
    {
        const int32_t inChannels = channelConfigs[c].inChannels;
        const int32_t outChannels = channelConfigs[c].outChannels;
        inputBusCounts[c] = 1;
        outputBusCounts[c] = 1;
        inputs = std::max(inputs, inputBusCounts[c]);
        outputs = std::max(outputs, outputBusCounts[c]);
        const int32_t width = std::max(std::min(inChannels, outChannels), 1);

        int32_t k = 0;
        for (int32_t channel = 0; channel < inChannels && k < kMaxBuses; channel += width, ++k)
        {
            inputBusStarts[c][k] = channel;
            VstPinProperties properties{};
            if (plugIn->getInputProperties(channel, properties))
                inputBusNames[c][k] = pinLabel(properties);
        }
        inputBusStarts[c][k] = inChannels;
        k = 0;
        for (int32_t channel = 0; channel < outChannels && k < kMaxBuses; channel += width, ++k)
        {
            outputBusStarts[c][k] = channel;
            VstPinProperties properties{};
            if (plugIn->getOutputProperties(channel, properties))
                outputBusNames[c][k] = pinLabel(properties);
        }
        outputBusStarts[c][k] = outChannels;
    }
    inputBusCount = inputs;
    outputBusCount = outputs;
    uniformBusWidths = true;
    const int32_t c = channelConfigIndex;
    for (int32_t k = 1; k < inputBusCounts[c]; ++k)
        if (getInputBusChannelCount(c, k) != getInputBusChannelCount(c, 0))
            uniformBusWidths = false;
}

int32_t TwinfoldComponent::getInputBusChannelCount(int32_t config, int32_t bus) const
{
    if (config < 0 || config >= kChannelConfigCount || bus < 0 || bus >= kMaxBuses)
        return 0;
    return inputBusStarts[config][bus + 1] - inputBusStarts[config][bus];
}

int32_t TwinfoldComponent::getOutputBusChannelCount(int32_t, int32_t) const
{
    return 2;
}

void TwinfoldComponent::allocateChannelBuffers(UInt32 frames)
{
    // Both new buffers exist before the old ones go, so a failed allocation
    // leaves the component with its previous, still valid buffers.
    std::unique_ptr<float[]> left(new float[frames]()), right(new float[frames]());
    freeChannelBuffers();
    channelBuffers[0] = left.release();
    channelBuffers[1] = right.release();
}

void TwinfoldComponent::freeChannelBuffers()
{
    for (auto& buffer : channelBuffers)
    {
        delete[] buffer;
        buffer = nullptr;
    }
}

AudioUnitRenderActionFlags TwinfoldComponent::render(AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp* timeStamp,
                                                     UInt32 bus, UInt32 frames, AudioBufferList* buffers)
{
    if (!buffers || !timeStamp || bus >= static_cast<UInt32>(outputBusCount) || frames > static_cast<UInt32>(maxFramesPerSlice))
        throw MacOSException(paramErr);
    // A list with more buffers than the bus has channels would reach channel
    // buffers that do not exist: refuse it before anything runs.
    if (buffers->mNumberBuffers > static_cast<UInt32>(getOutputBusChannelCount(channelConfigIndex, static_cast<int32_t>(bus))))
        throw MacOSException(paramErr);
    // The frames are copied into every buffer that has data: one that
    // cannot hold them all would be written past its end.
    const int32_t first = outputBusStarts[channelConfigIndex][bus];
    if (!holdsFrames(buffers->mBuffers, buffers->mNumberBuffers, frames, &channelBuffers[first]))
        throw MacOSException(paramErr);

    AudioUnitRenderActionFlags flags = (ioFlags ? *ioFlags : 0) | kAudioUnitRenderAction_PreRender;
    for (int32_t i = renderNotifyCount - 1; i >= 0; --i)
        if (renderNotifies[i].inputProc)
            renderNotifies[i].inputProc(renderNotifies[i].inputProcRefCon, &flags, timeStamp, bus, frames, buffers);
    flags &= ~kAudioUnitRenderAction_PreRender;

    const Float64 time = timeStamp->mSampleTime;
    if (time != lastRenderSampleTime || std::isnan(time) || std::isnan(lastRenderSampleTime))
    {
        lastRenderSampleTime = time;
        updateVSTTimeInfo(timeStamp);
        float* inputs[kMaxChannels];
        const bool silent = collectInputAudio(frames, inputs, timeStamp);
        renderOutput(frames, inputs, silent);
    }

    if (outputIsSilent)
        flags |= kAudioUnitRenderAction_OutputIsSilence;
    else
        flags &= ~kAudioUnitRenderAction_OutputIsSilence;

    for (UInt32 i = 0; i < buffers->mNumberBuffers; ++i)
    {
        float* source = channelBuffers[first + static_cast<int32_t>(i)];
        AudioBuffer& buffer = buffers->mBuffers[i];
        if (!buffer.mData)
            buffer.mData = source;
        else if (buffer.mData != source)
            std::memcpy(buffer.mData, source, frames * sizeof(float));
    }

    flags |= kAudioUnitRenderAction_PostRender;
    for (int32_t i = renderNotifyCount - 1; i >= 0; --i)
        if (renderNotifies[i].inputProc)
            renderNotifies[i].inputProc(renderNotifies[i].inputProcRefCon, &flags, timeStamp, bus, frames, buffers);
    flags &= ~kAudioUnitRenderAction_PostRender;
    if (ioFlags)
        *ioFlags = flags;
    return flags;
}

bool TwinfoldComponent::collectInputAudio(UInt32 frames, float** inputs, const AudioTimeStamp* timeStamp)
{
    for (int32_t i = 0; i < totalChannels; ++i)
        inputs[i] = nullptr;
    bool allSilent = true;
    int32_t counter = 0;
    for (int32_t k = 0; k < inputBusCount; ++k)
    {
        const int32_t width = std::min(getInputBusChannelCount(channelConfigIndex, k), totalChannels - counter);
        if (width <= 0)
            continue;
        InputBufferList list;
        list.mNumberBuffers = static_cast<UInt32>(width);
        for (int32_t i = 0; i < width; ++i)
        {
            list.mBuffers[i].mNumberChannels = 1;
            list.mBuffers[i].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
            list.mBuffers[i].mData = channelBuffers[counter + i];
        }
        AudioUnitRenderActionFlags flags = 0;
        auto* bufferList = reinterpret_cast<AudioBufferList*>(&list);
        if (inputCallbacks[k].inputProc)
        {
            const OSStatus status = inputCallbacks[k].inputProc(inputCallbacks[k].inputProcRefCon, &flags, timeStamp,
                                                                static_cast<UInt32>(k), frames, bufferList);
            if (status != noErr)
                throw MacOSException(status);
        }
        else if (inputConnections[k].sourceAudioUnit)
        {
            for (int32_t i = 0; i < width; ++i)
                list.mBuffers[i].mData = nullptr;
            const OSStatus status = AudioUnitRender(inputConnections[k].sourceAudioUnit, &flags, timeStamp,
                                                    inputConnections[k].sourceOutputNumber, frames, bufferList);
            if (status != noErr)
                throw MacOSException(status);
        }
        else
        {
            for (int32_t i = 0; i < width; ++i)
                std::fill_n(channelBuffers[counter + i], frames, 0.0f);
            flags = kAudioUnitRenderAction_OutputIsSilence;
        }
        // The effect reads every frame of its inputs: a callback or source
        // that hands back shorter buffers fails the cycle before it runs.
        if (!holdsFrames(list.mBuffers, static_cast<UInt32>(width), frames, &channelBuffers[counter]))
            throw MacOSException(paramErr);
        if (!(flags & kAudioUnitRenderAction_OutputIsSilence))
            allSilent = false;
        for (int32_t i = 0; i < width; ++i)
        {
            // A source that handed back no data would leave the effect without
            // an input: it gets the component's own buffer instead.
            float* data = static_cast<float*>(list.mBuffers[i].mData);
            inputs[counter + i] = data ? data : channelBuffers[counter + i];
        }
        counter += width;
    }
    for (int32_t i = counter; i < totalChannels; ++i)
        inputs[i] = channelBuffers[i];
    return allSilent;
}

void TwinfoldComponent::renderOutput(UInt32 frames, float** inputs, bool inputsSilent)
{
    if (eventQueue.numEvents > 0)
    {
        plugIn->processEvents(reinterpret_cast<VstEvents*>(&eventQueue));
        eventQueue.numEvents = 0;
    }
    if (hasExtensions)
        plugIn->vendorSpecific(kExtensionInputSilent, inputsSilent ? 1 : 0, nullptr, 0.0f);
    plugIn->processReplacing(inputs, channelBuffers, static_cast<int32_t>(frames));
    outputIsSilent = hasExtensions && plugIn->vendorSpecific(kExtensionOutputSilent, 0, nullptr, 0.0f) != 0;
}

void TwinfoldComponent::queueMIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
    if (!plugIn->wantsMidi())
        return;
    if (eventQueue.numEvents >= kMaxQueuedEvents)
        throw MacOSException(memFullErr);
    VstMidiEvent& event = midiEvents[eventQueue.numEvents];
    event.deltaFrames = static_cast<VstInt32>(offset);
    event.midiData[0] = static_cast<char>(status & 0xFF);
    event.midiData[1] = static_cast<char>(data1 & 0xFF);
    event.midiData[2] = static_cast<char>(data2 & 0xFF);
    // The queue always points at the events in order.
    eventQueue.events[eventQueue.numEvents] = reinterpret_cast<VstEvent*>(&event);
    ++eventQueue.numEvents;
}

void TwinfoldComponent::updateVSTTimeInfo(const AudioTimeStamp* timeStamp)
{
    vstTimeInfo.samplePos = timeStamp->mSampleTime;
    vstTimeInfo.sampleRate = streamFormat.mSampleRate;
    vstTimeInfo.flags = 0;
    if (hostCallbacks.beatAndTempoProc)
    {
        Float64 beat = 0.0, tempo = 120.0;
        if (hostCallbacks.beatAndTempoProc(hostCallbacks.hostUserData, &beat, &tempo) == noErr)
        {
            vstTimeInfo.ppqPos = beat;
            vstTimeInfo.tempo = tempo;
            vstTimeInfo.flags |= kVstPpqPosValid | kVstTempoValid;
        }
    }
    if (hostCallbacks.musicalTimeLocationProc)
    {
        UInt32 nextBeatOffset = 0, denominator = 4;
        Float32 numerator = 4.0f;
        Float64 downBeat = 0.0;
        if (hostCallbacks.musicalTimeLocationProc(hostCallbacks.hostUserData, &nextBeatOffset, &numerator, &denominator,
                                                  &downBeat) == noErr)
        {
            // Truncation of an absurd numerator must not overflow.
            vstTimeInfo.timeSigNumerator =
                std::isfinite(numerator) && std::fabs(numerator) < 2.0e9f ? static_cast<VstInt32>(numerator) : 0;
            vstTimeInfo.timeSigDenominator = static_cast<VstInt32>(denominator);
            vstTimeInfo.barStartPos = downBeat;
            vstTimeInfo.flags |= kVstBarsValid | kVstTimeSigValid;
        }
    }
    if (hostCallbacks.transportStateProc)
    {
        Boolean playing = false, changed = false, cycling = false;
        Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
        if (hostCallbacks.transportStateProc(hostCallbacks.hostUserData, &playing, &changed, &sample, &cycling, &cycleStart,
                                             &cycleEnd) == noErr)
        {
            if (playing)
                vstTimeInfo.flags |= kVstTransportPlaying;
            if (changed)
                vstTimeInfo.flags |= kVstTransportChanged;
            vstTimeInfo.samplePos = sample;
            if (cycling)
                vstTimeInfo.flags |= kVstTransportCycleActive;
            vstTimeInfo.cycleStartPos = cycleStart;
            vstTimeInfo.cycleEndPos = cycleEnd;
            vstTimeInfo.flags |= kVstCyclePosValid;
        }
    }
}

bool TwinfoldComponent::updateFormat(AudioUnitScope scope, AudioUnitElement element, const AudioStreamBasicDescription& format)
{
    const auto bus = static_cast<int32_t>(std::min<AudioUnitElement>(element, kMaxBuses - 1));
    const UInt32 expected = scope == kAudioUnitScope_Input ? static_cast<UInt32>(getInputBusChannelCount(channelConfigIndex, bus)) : 2;
    if (format.mChannelsPerFrame != expected)
    {
        bool found = false;
        if (scope == kAudioUnitScope_Input)
            for (int32_t c = 0; c < kChannelConfigCount && !found; ++c)
                if (element < static_cast<AudioUnitElement>(inputBusCounts[c]) &&
                    static_cast<UInt32>(getInputBusChannelCount(c, bus)) == format.mChannelsPerFrame)
                {
                    channelConfigIndex = c;
                    found = true;
                }
        if (!found)
            throw MacOSException(kAudioUnitErr_FormatNotSupported);
    }
    if (format.mFormatID != kAudioFormatLinearPCM || format.mFramesPerPacket != 1 ||
        format.mBytesPerFrame != format.mBytesPerPacket || (format.mFormatFlags & kAudioFormatFlagIsFloat) == 0 ||
        (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0 || format.mBitsPerChannel != 32 ||
        format.mBytesPerFrame != 4)
        throw MacOSException(kAudioUnitErr_FormatNotSupported);
    // A rate that is not a positive finite number cannot be a sample rate.
    if (!(format.mSampleRate > 0.0) || !std::isfinite(format.mSampleRate))
        throw MacOSException(kAudioUnitErr_FormatNotSupported);

    plugIn->vendorSpecific(kExtensionChannels, channelConfigs[channelConfigIndex].inChannels,
                           reinterpret_cast<void*>(static_cast<intptr_t>(channelConfigs[channelConfigIndex].outChannels)), 0.0f);
    return updateSampleRate(format.mSampleRate);
}

bool TwinfoldComponent::updateSampleRate(Float64 rate)
{
    if (rate == streamFormat.mSampleRate)
        return false;
    streamFormat.mSampleRate = rate;
    plugIn->setSampleRate(static_cast<float>(rate));
    for (int32_t i = 0; i < inputBusCount; ++i)
    {
        propertyChanged(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, static_cast<AudioUnitElement>(i));
        propertyChanged(kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, static_cast<AudioUnitElement>(i));
    }
    for (int32_t i = 0; i < outputBusCount; ++i)
    {
        propertyChanged(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, static_cast<AudioUnitElement>(i));
        propertyChanged(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, static_cast<AudioUnitElement>(i));
    }
    updateInitialDelayAndTailTimes();
    return true;
}

void TwinfoldComponent::updateMaxFramesPerSlice(UInt32 frames)
{
    if (frames == static_cast<UInt32>(maxFramesPerSlice))
        return;
    allocateChannelBuffers(frames);
    maxFramesPerSlice = static_cast<int32_t>(frames);
    propertyChanged(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
    plugIn->setBlockSize(static_cast<int32_t>(frames));
}

void TwinfoldComponent::updateInitialDelayAndTailTimes()
{
    const Float64 latency = plugIn->getInitialDelay() / streamFormat.mSampleRate;
    if (latency != latencySeconds)
    {
        latencySeconds = latency;
        propertyChanged(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0);
    }
    if (hasTail)
    {
        const Float64 tail = static_cast<Float64>(plugIn->getTailSize()) / streamFormat.mSampleRate;
        if (tail != tailSeconds)
        {
            tailSeconds = tail;
            propertyChanged(kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0);
        }
    }
}
