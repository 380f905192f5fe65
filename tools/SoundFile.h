// Reading and writing audio files through libsndfile. The format follows
// the file name: .wav and .aif/.aiff as 32-bit float, .flac as 24-bit.
#pragma once

#include "tools/AudioBuffer.h"

#include <filesystem>
#include <stdexcept>

struct SoundFileError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

namespace SoundFile
{
// Throws SoundFileError with the reason when the file cannot be read.
AudioBuffer read(const std::filesystem::path& path);
// Throws SoundFileError for an unknown extension or a failed write.
void write(const std::filesystem::path& path, const AudioBuffer& audio);
// True when the extension names a format write() supports.
bool isWritableName(const std::filesystem::path& path);
} // namespace SoundFile
