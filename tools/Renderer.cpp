#include "tools/Renderer.h"

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

AudioBuffer Renderer::render(const AudioBuffer& input, std::vector<ControlChange> changes, double tailSeconds,
                             const std::function<void(double)>& progress)
{
    const size_t inFrames = input.frames();
    const size_t tailFrames = static_cast<size_t>(std::llround(tailSeconds * input.sampleRate));
    const size_t total = inFrames + tailFrames;
    const size_t inChannels = static_cast<size_t>(std::max(input.channels, 0));
    const size_t outChannels = outputs.size();

    AudioBuffer output;
    output.sampleRate = input.sampleRate;
    output.channels = static_cast<int32_t>(outChannels);
    output.samples.assign(total * outChannels, 0.0f);

    // All events are prepared up front; each block hands over its own slice.
    std::stable_sort(changes.begin(), changes.end(), [](const ControlChange& a, const ControlChange& b) { return a.seconds < b.seconds; });
    std::vector<VstMidiEvent> events(changes.size());
    std::vector<size_t> eventFrames(changes.size());
    for (size_t e = 0; e < changes.size(); ++e)
    {
        VstMidiEvent& m = events[e];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.midiData[0] = static_cast<char>(0xB0 | (changes[e].channel - 1));
        m.midiData[1] = static_cast<char>(changes[e].controller);
        m.midiData[2] = static_cast<char>(changes[e].value);
        eventFrames[e] = static_cast<size_t>(std::llround(changes[e].seconds * input.sampleRate));
    }
    const size_t listBytes = sizeof(VstEvents) + sizeof(VstEvent*) * std::max<size_t>(events.size(), 2);
    std::unique_ptr<uint64_t[]> listStorage(new uint64_t[(listBytes + 7) / 8]());
    VstEvents* list = reinterpret_cast<VstEvents*>(listStorage.get());

    size_t nextEvent = 0;
    for (size_t start = 0; start < total; start += static_cast<size_t>(blockSize))
    {
        const size_t frames = std::min(static_cast<size_t>(blockSize), total - start);
        for (size_t c = 0; c < inputs.size(); ++c)
        {
            float* channel = inputs[c].data();
            const bool fed = c < inChannels || inChannels == 1;
            const size_t source = inChannels == 1 ? 0 : c;
            for (size_t i = 0; i < frames; ++i)
            {
                const size_t frame = start + i;
                channel[i] = fed && frame < inFrames ? input.samples[frame * inChannels + source] : 0.0f;
            }
        }

        int32_t count = 0;
        while (nextEvent < events.size() && eventFrames[nextEvent] < start + frames)
        {
            events[nextEvent].deltaFrames = static_cast<int32_t>(eventFrames[nextEvent] > start ? eventFrames[nextEvent] - start : 0);
            list->events[count++] = reinterpret_cast<VstEvent*>(&events[nextEvent]);
            ++nextEvent;
        }
        if (count > 0)
        {
            list->numEvents = count;
            plugIn.processEvents(list);
        }

        host.setPosition(static_cast<double>(start), input.sampleRate);
        plugIn.processReplacing(inputPointers.data(), outputPointers.data(), static_cast<int32_t>(frames));

        for (size_t c = 0; c < outChannels; ++c)
            for (size_t i = 0; i < frames; ++i)
                output.samples[(start + i) * outChannels + c] = outputs[c][i];
        if (progress)
            progress(static_cast<double>(start + frames) / static_cast<double>(total));
    }
    return output;
}
