// Whole-file reading and writing of small audio files (tests and tools);
// renders stream through SoundFileReader and SoundFileWriter instead.
#pragma once

#include "tools/kit/AudioBuffer.h"
#include "tools/kit/AudioFormat.h"

#include <filesystem>

namespace SoundFile
{
// Throws FileError with the reason when the file cannot be read.
AudioBuffer read(const std::filesystem::path& path);
// Throws FileError or UsageError (unknown extension, impossible format).
void write(const std::filesystem::path& path, const AudioBuffer& audio, SampleFormat format = SampleFormat::float32);
} // namespace SoundFile
