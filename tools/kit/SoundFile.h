// Audio file formats the command-line hosts write, chosen from the file
// name (container) and --format (sample format), and whole-file reading
// and writing for small files.
#pragma once

#include "tools/kit/AudioBuffer.h"

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

namespace SoundFile
{
// Throws FileError with the reason when the file cannot be read.
AudioBuffer read(const std::filesystem::path& path);
// Throws FileError or UsageError (unknown extension, impossible format).
void write(const std::filesystem::path& path, const AudioBuffer& audio, SampleFormat format = SampleFormat::float32);
} // namespace SoundFile
