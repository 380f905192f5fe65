#include "tools/kit/SoundFileWriter.h"

#include "tools/kit/ToolMain.h"

#include <sndfile.h>

#include <cmath>

namespace
{

int libsndfileFormat(Container container, SampleFormat format)
{
    const int major = container == Container::wav ? SF_FORMAT_WAV : container == Container::flac ? SF_FORMAT_FLAC : SF_FORMAT_AIFF;
    const int minor = format == SampleFormat::pcm16 ? SF_FORMAT_PCM_16 : format == SampleFormat::pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    return major | minor;
}

} // namespace

SoundFileWriter::SoundFileWriter(const std::filesystem::path& target, Container container, SampleFormat format, int32_t channels,
                                 int32_t sampleRate)
    : path(target), output(target), channelCount(channels), integer(format != SampleFormat::float32)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = libsndfileFormat(container, format);
    if (channels <= 0 || !sf_format_check(&info))
        throw FileError("cannot write " + std::to_string(channels) + " channels at " + std::to_string(sampleRate) + " Hz as " +
                        containerName(container) + " " + sampleFormatName(format) + " (" + path.string() + ")");
    file = sf_open_fd(output.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!file)
        throw FileError("cannot write audio file " + path.string() + ": " + sf_strerror(nullptr));
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter()
{
    if (file)
        sf_close(file);
}

void SoundFileWriter::write(const float* interleaved, size_t frames)
{
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
        throw FileError("cannot write audio file " + path.string() + ": " + sf_strerror(file));
}

void SoundFileWriter::finish()
{
    const int error = sf_close(file);
    file = nullptr;
    if (error != 0)
        throw FileError("cannot write audio file " + path.string() + ": " + sf_error_number(error));
    output.commit();
}
