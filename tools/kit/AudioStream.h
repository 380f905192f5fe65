// Interleaved 32-bit float audio read and written block by block, so that a
// render holds one block in memory whatever the length.
#pragma once

#include <cstddef>
#include <cstdint>

class AudioSource
{
public:
    virtual ~AudioSource() = default;
    virtual int32_t channels() const = 0;
    virtual int32_t sampleRate() const = 0;
    // Frames the source announces; read() may end earlier on a damaged file.
    virtual uint64_t frames() const = 0;
    // Fills up to `frames` frames and returns how many; 0 at the end.
    virtual size_t read(float* interleaved, size_t frames) = 0;
};

class AudioSink
{
public:
    virtual ~AudioSink() = default;
    virtual void write(const float* interleaved, size_t frames) = 0;
};
