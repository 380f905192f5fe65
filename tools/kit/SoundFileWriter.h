// An audio file written block by block through libsndfile into a temporary
// file that replaces the target only when finish() succeeds.
#pragma once

#include "tools/kit/AudioStream.h"
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/SoundFile.h"

#include <filesystem>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class SoundFileWriter final : public AudioSink
{
public:
    // Throws FileError when the file cannot be created or libsndfile refuses
    // the combination (e.g. more channels than FLAC takes).
    SoundFileWriter(const std::filesystem::path& path, Container container, SampleFormat format, int32_t channels, int32_t sampleRate);
    ~SoundFileWriter() override;

    // Integer formats clip at full scale; clipped samples are counted and
    // NaN samples are written as 0.
    void write(const float* interleaved, size_t frames) override;
    // Completes the file and moves it into place. Throws FileError.
    void finish();

    uint64_t clippedSamples() const { return clipped; }

private:
    std::filesystem::path path;
    ReplacingFile output;
    SNDFILE* file = nullptr;
    int32_t channelCount;
    bool integer;
    std::vector<float> scratch;
    uint64_t clipped = 0;
};
