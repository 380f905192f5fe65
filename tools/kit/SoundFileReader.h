// An audio file read block by block through libsndfile.
#pragma once

#include "tools/kit/AudioStream.h"
#include "tools/kit/AudioFormat.h"

#include <filesystem>
#include <memory>
#include <optional>

typedef struct sf_private_tag SNDFILE;

class SoundFileReader final : public AudioSource
{
public:
    // Throws FileError naming the cause (missing, a directory, not audio).
    explicit SoundFileReader(const std::filesystem::path& path);
    ~SoundFileReader() override;

    int32_t channels() const override { return channelCount; }
    int32_t sampleRate() const override { return rate; }
    uint64_t frames() const override { return frameCount; }
    size_t read(float* interleaved, size_t frames) override;

    // The output sample format that holds the file's samples unchanged
    // (8- and 16-bit: pcm16, 24-bit: pcm24), or empty for anything else.
    std::optional<SampleFormat> sampleFormat() const { return format; }

private:
    SNDFILE* file = nullptr;
    int32_t channelCount = 0;
    int32_t rate = 0;
    uint64_t frameCount = 0;
    std::optional<SampleFormat> format;
};
