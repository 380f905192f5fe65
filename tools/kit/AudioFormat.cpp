#include "tools/kit/AudioFormat.h"

#include <algorithm>
#include <cctype>

std::optional<SampleFormat> parseSampleFormat(const std::string& text)
{
    if (text == "pcm16")
        return SampleFormat::pcm16;
    if (text == "pcm24")
        return SampleFormat::pcm24;
    if (text == "float")
        return SampleFormat::float32;
    return std::nullopt;
}

const char* sampleFormatName(SampleFormat format)
{
    switch (format)
    {
    case SampleFormat::pcm16:
        return "pcm16";
    case SampleFormat::pcm24:
        return "pcm24";
    case SampleFormat::float32:
        break;
    }
    return "float";
}

std::optional<Container> containerFor(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    if (extension == ".wav")
        return Container::wav;
    if (extension == ".flac")
        return Container::flac;
    if (extension == ".aif" || extension == ".aiff")
        return Container::aiff;
    return std::nullopt;
}

const char* containerName(Container container)
{
    switch (container)
    {
    case Container::wav:
        return "WAV";
    case Container::flac:
        return "FLAC";
    case Container::aiff:
        break;
    }
    return "AIFF";
}

bool canHold(Container container, SampleFormat format)
{
    return !(container == Container::flac && format == SampleFormat::float32);
}

SampleFormat defaultSampleFormat(Container container, std::optional<SampleFormat> input)
{
    const SampleFormat wanted = input.value_or(SampleFormat::float32);
    return canHold(container, wanted) ? wanted : SampleFormat::pcm24;
}
