// Audio file formats the command-line hosts write, chosen from the file
// name (container) and --format (sample format). Plain types only: code
// that sees the platform's AudioUnit headers includes it too.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

enum class SampleFormat
{
    pcm16,
    pcm24,
    float32
};

enum class Container
{
    wav,
    flac,
    aiff // plain AIFF for integer samples, AIFF-C for float
};

// "pcm16", "pcm24" or "float".
std::optional<SampleFormat> parseSampleFormat(const std::string& text);
const char* sampleFormatName(SampleFormat format);
// From the extension, ignoring case: .wav, .flac, .aif or .aiff.
std::optional<Container> containerFor(const std::filesystem::path& path);
const char* containerName(Container container);
// FLAC has no float samples; everything else goes.
bool canHold(Container container, SampleFormat format);
// What a render writes without --format: the input's own sample format
// (float for generated signals), or pcm24 where the container cannot hold
// float.
SampleFormat defaultSampleFormat(Container container, std::optional<SampleFormat> input);
