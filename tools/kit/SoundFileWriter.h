// An audio file written block by block through libsndfile into a file
// without a name, which gets the target's name only when finish()
// succeeds. A WAV that may pass 4 GB is written as RF64 (and as a plain WAV
// after all when it stays smaller); no header ever wraps. Runs of silence
// past the end of what is written are left as holes, so silence takes no
// disk space.
#pragma once

#include "tools/kit/AudioFormat.h"
#include "tools/kit/AudioStream.h"
#include "tools/kit/ReplacingFile.h"

#include <filesystem>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class SoundFileWriter final : public AudioSink
{
public:
    // `expectedFrames`: at most how many frames will be written (0: few);
    // it chooses RF64 for a WAV that may pass 4 GB. Throws FileError when
    // the file cannot be created or libsndfile refuses the combination
    // (e.g. more channels than FLAC takes), UsageError where checkCapacity
    // does.
    SoundFileWriter(const std::filesystem::path& path, Container container, SampleFormat format, int32_t channels, int32_t sampleRate,
                    uint64_t expectedFrames = 0);
    ~SoundFileWriter() override;

    // Throws UsageError when `frames` frames cannot be held by the
    // container: AIFF holds at most 4 GB of samples.
    static void checkCapacity(const std::filesystem::path& path, Container container, SampleFormat format, int32_t channels,
                              uint64_t frames);

    // Integer formats clip at full scale; clipped samples are counted and
    // NaN samples are written as 0.
    void write(const float* interleaved, size_t frames) override;
    // Completes the file and gives it its name. Throws FileError.
    void finish();

    uint64_t clippedSamples() const { return clipped; }
    bool isRF64() const { return rf64; }

    // libsndfile's file access, on the descriptor (public for its C callbacks).
    struct Access
    {
        int fd = -1;
        int64_t position = 0;
        int64_t length = 0;      // as libsndfile sees it
        int64_t materialized = 0; // what is on disk; beyond it only zeros were written
        int error = 0;            // errno of a failed write
    };

private:
    std::filesystem::path path;
    ReplacingFile output;
    Access access;
    SNDFILE* file = nullptr;
    int32_t channelCount;
    bool integer;
    bool rf64 = false;
    uint64_t bytesPerFrame;
    uint64_t dataBytes = 0;
    uint64_t limit; // most data bytes the container's header can count
    std::vector<float> scratch;
    uint64_t clipped = 0;
};
