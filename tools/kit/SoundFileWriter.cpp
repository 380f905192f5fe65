#include "tools/kit/SoundFileWriter.h"

#include "tools/kit/ToolMain.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace
{

// What 32-bit RIFF and AIFF sizes count, less room for the header chunks.
constexpr uint64_t kClassicLimit = 0xFFFFFFFFull - (1u << 16);

int libsndfileFormat(Container container, SampleFormat format, bool rf64)
{
    const int major = container == Container::wav ? (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV)
                      : container == Container::flac ? SF_FORMAT_FLAC
                                                     : SF_FORMAT_AIFF;
    const int minor = format == SampleFormat::pcm16 ? SF_FORMAT_PCM_16 : format == SampleFormat::pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    return major | minor;
}

uint64_t bytesPerSample(SampleFormat format)
{
    return format == SampleFormat::pcm16 ? 2 : format == SampleFormat::pcm24 ? 3 : 4;
}

bool allZero(const void* data, size_t length)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    return length == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, length - 1) == 0);
}

SoundFileWriter::Access& accessOf(void* user)
{
    return *static_cast<SoundFileWriter::Access*>(user);
}

sf_count_t fileLength(void* user)
{
    return accessOf(user).length;
}

sf_count_t seekTo(sf_count_t offset, int whence, void* user)
{
    SoundFileWriter::Access& a = accessOf(user);
    const int64_t base = whence == SEEK_CUR ? a.position : whence == SEEK_END ? a.length : 0;
    if (base + offset < 0)
        return -1;
    a.position = base + offset;
    return a.position;
}

sf_count_t readAt(void* data, sf_count_t count, void* user)
{
    SoundFileWriter::Access& a = accessOf(user);
    const int64_t wanted = std::max<int64_t>(0, std::min<int64_t>(count, a.length - a.position));
    int64_t done = 0;
    while (done < wanted)
    {
        const ssize_t got = pread(a.fd, static_cast<char*>(data) + done, static_cast<size_t>(wanted - done), a.position + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    // Zeros not yet on disk read as zeros.
    std::memset(static_cast<char*>(data) + done, 0, static_cast<size_t>(wanted - done));
    a.position += wanted;
    return wanted;
}

sf_count_t writeAt(const void* data, sf_count_t count, void* user)
{
    SoundFileWriter::Access& a = accessOf(user);
    // Zeros past the end of what is on disk are left to the file's holes.
    if (!(a.position >= a.materialized && allZero(data, static_cast<size_t>(count))))
    {
        sf_count_t done = 0;
        while (done < count)
        {
            const ssize_t put = pwrite(a.fd, static_cast<const char*>(data) + done, static_cast<size_t>(count - done), a.position + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
            {
                a.error = put < 0 ? errno : ENOSPC;
                return done;
            }
            done += put;
        }
        a.materialized = std::max(a.materialized, a.position + count);
    }
    a.position += count;
    a.length = std::max(a.length, a.position);
    return count;
}

sf_count_t tellAt(void* user)
{
    return accessOf(user).position;
}

} // namespace

void SoundFileWriter::checkCapacity(const std::filesystem::path& path, Container container, SampleFormat format, int32_t channels,
                                    uint64_t frames)
{
    const double bytes = static_cast<double>(frames) * channels * static_cast<double>(bytesPerSample(format));
    if (container == Container::aiff && bytes > static_cast<double>(kClassicLimit))
    {
        char text[300];
        std::snprintf(text, sizeof(text),
                      "%s would hold %.1f GB of samples; AIFF files hold at most 4 GB (use a .wav output, written as RF64 past "
                      "4 GB, or .flac)",
                      path.c_str(), bytes / 1e9);
        throw UsageError(text);
    }
}

namespace
{

// `target`, once its container is known to hold `frames` frames.
std::filesystem::path checkedTarget(const std::filesystem::path& target, Container container, SampleFormat format, int32_t channels,
                                    uint64_t frames)
{
    SoundFileWriter::checkCapacity(target, container, format, std::max(channels, 0), frames);
    return target;
}

} // namespace

SoundFileWriter::SoundFileWriter(const std::filesystem::path& target, Container container, SampleFormat format, int32_t channels,
                                 int32_t sampleRate, uint64_t expectedFrames)
    : path(checkedTarget(target, container, format, channels, expectedFrames)), output(target),
      channelCount(channels), integer(format != SampleFormat::float32),
      bytesPerFrame(static_cast<uint64_t>(std::max(channels, 0)) * bytesPerSample(format))
{
    rf64 = container == Container::wav && static_cast<double>(expectedFrames) * static_cast<double>(bytesPerFrame) > kClassicLimit;
    limit = container == Container::flac || rf64 ? UINT64_MAX : kClassicLimit;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = libsndfileFormat(container, format, rf64);
    if (channels <= 0 || !sf_format_check(&info))
        throw FileError("cannot write " + std::to_string(channels) + " channels at " + std::to_string(sampleRate) + " Hz as " +
                        containerName(container) + " " + sampleFormatName(format) + " (" + path.string() + ")");
    access.fd = output.descriptor();
    SF_VIRTUAL_IO io{fileLength, seekTo, readAt, writeAt, tellAt};
    file = sf_open_virtual(&io, SFM_WRITE, &info, &access);
    if (!file)
        throw FileError("cannot write audio file " + path.string() + ": " + sf_strerror(nullptr));
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // A render that stays under 4 GB after all is written as a plain WAV.
    if (rf64)
        sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter()
{
    if (file)
        sf_close(file);
}

void SoundFileWriter::write(const float* interleaved, size_t frames)
{
    // Never a header that wraps: stop before the container's sizes overflow.
    if (dataBytes + frames * bytesPerFrame > limit)
        throw FileError("cannot write audio file " + path.string() + ": it would pass 4 GB, more than its format's header can count");
    const size_t count = frames * static_cast<size_t>(channelCount);
    const float* samples = interleaved;
    if (integer)
    {
        scratch.resize(count);
        for (size_t i = 0; i < count; ++i)
        {
            float s = interleaved[i];
            if (std::isnan(s))
                s = 0.0f;
            else if (s > 1.0f || s < -1.0f)
            {
                s = s > 0.0f ? 1.0f : -1.0f;
                ++clipped;
            }
            scratch[i] = s;
        }
        samples = scratch.data();
    }
    if (sf_writef_float(file, samples, static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames))
        throw FileError("cannot write audio file " + path.string() + ": " +
                        (access.error ? std::strerror(access.error) : sf_strerror(file)));
    dataBytes += frames * bytesPerFrame;
}

void SoundFileWriter::finish()
{
    const int error = sf_close(file);
    file = nullptr;
    if (error != 0 || access.error)
        throw FileError("cannot write audio file " + path.string() + ": " +
                        (access.error ? std::strerror(access.error) : sf_error_number(error)));
    // Silence at the very end is a hole up to the file's length.
    if (access.length > access.materialized && ftruncate(access.fd, access.length) != 0)
        throw FileError("cannot write audio file " + path.string() + ": " + std::strerror(errno));
    output.commit();
}
