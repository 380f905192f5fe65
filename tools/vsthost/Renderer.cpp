#include "tools/vsthost/Renderer.h"

#include <algorithm>
#include <cmath>
#include <memory>

Renderer::Renderer(VSTPlugIn& effect, ToolHost& toolHost, int32_t frames)
    : plugIn(effect), host(toolHost), blockSize(frames),
      inputs(static_cast<size_t>(std::max(effect.getInputCount(), 0)), std::vector<float>(static_cast<size_t>(frames))),
      outputs(static_cast<size_t>(std::max(effect.getOutputCount(), 0)), std::vector<float>(static_cast<size_t>(frames)))
{
    for (auto& channel : inputs)
        inputPointers.push_back(channel.data());
    for (auto& channel : outputs)
        outputPointers.push_back(channel.data());
    // Effects without inputs still get a valid pointer array.
    if (inputPointers.empty())
        inputPointers.push_back(nullptr);
}

Renderer::Result Renderer::render(AudioSource& source, AudioSink& sink, std::vector<ControlChange> changes, uint64_t tailFrames,
                                  const std::function<void(double)>& progress)
{
    const int32_t rate = source.sampleRate();
    const size_t inChannels = static_cast<size_t>(std::max(source.channels(), 0));
    const size_t outChannels = outputs.size();
    const size_t block = static_cast<size_t>(blockSize);
    const double expected = static_cast<double>(source.frames() + tailFrames);

    // All events are prepared up front; each block hands over its own slice.
    std::stable_sort(changes.begin(), changes.end(), [](const ControlChange& a, const ControlChange& b) { return a.seconds < b.seconds; });
    std::vector<VstMidiEvent> events(changes.size());
    std::vector<uint64_t> eventFrames(changes.size());
    for (size_t e = 0; e < changes.size(); ++e)
    {
        VstMidiEvent& m = events[e];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.midiData[0] = static_cast<char>(0xB0 | (changes[e].channel - 1));
        m.midiData[1] = static_cast<char>(changes[e].controller);
        m.midiData[2] = static_cast<char>(changes[e].value);
        eventFrames[e] = frameAt(changes[e].seconds, rate);
    }
    const size_t listBytes = sizeof(VstEvents) + sizeof(VstEvent*) * std::max<size_t>(events.size(), 2);
    std::unique_ptr<uint64_t[]> listStorage(new uint64_t[(listBytes + 7) / 8]());
    VstEvents* list = reinterpret_cast<VstEvents*>(listStorage.get());

    std::vector<float> interleavedIn(block * std::max<size_t>(inChannels, 1));
    std::vector<float> interleavedOut(block * std::max<size_t>(outChannels, 1));
    Result result;
    bool sourceEnded = false;
    uint64_t tailLeft = tailFrames;
    size_t nextEvent = 0;
    for (;;)
    {
        const uint64_t start = result.outputFrames;
        size_t frames = 0;
        if (!sourceEnded)
        {
            frames = source.read(interleavedIn.data(), block);
            if (frames < block)
                sourceEnded = true;
            result.inputFrames += frames;
            result.input.add(interleavedIn.data(), frames * inChannels);
        }
        // The tail fills the rest of the block in which the source ended.
        const size_t silent = static_cast<size_t>(std::min<uint64_t>(block - frames, sourceEnded ? tailLeft : 0));
        std::fill_n(interleavedIn.begin() + static_cast<std::ptrdiff_t>(frames * inChannels), silent * inChannels, 0.0f);
        tailLeft -= silent;
        frames += silent;
        if (frames == 0)
            break;

        for (size_t c = 0; c < inputs.size(); ++c)
        {
            float* channel = inputs[c].data();
            if (inChannels == 0 || (c >= inChannels && inChannels != 1))
            {
                std::fill_n(channel, frames, 0.0f);
                continue;
            }
            const size_t from = inChannels == 1 ? 0 : c;
            for (size_t i = 0; i < frames; ++i)
                channel[i] = interleavedIn[i * inChannels + from];
        }

        int32_t count = 0;
        while (nextEvent < events.size() && eventFrames[nextEvent] < start + frames)
        {
            events[nextEvent].deltaFrames = static_cast<int32_t>(eventFrames[nextEvent] > start ? eventFrames[nextEvent] - start : 0);
            eventSlots(list)[count++] = reinterpret_cast<VstEvent*>(&events[nextEvent]);
            ++nextEvent;
        }
        if (count > 0)
        {
            list->numEvents = count;
            plugIn.processEvents(list);
        }

        host.setPosition(static_cast<double>(start), rate);
        plugIn.processReplacing(inputPointers.data(), outputPointers.data(), static_cast<int32_t>(frames));

        for (size_t c = 0; c < outChannels; ++c)
            for (size_t i = 0; i < frames; ++i)
                interleavedOut[i * outChannels + c] = outputs[c][i];
        result.output.add(interleavedOut.data(), frames * outChannels);
        sink.write(interleavedOut.data(), frames);
        result.outputFrames += frames;
        if (progress)
            progress(expected > 0.0 ? std::min(1.0, static_cast<double>(result.outputFrames) / expected) : 1.0);
    }
    return result;
}
