#include "tools/kit/SoundFileReader.h"

#include "tools/kit/FileChecks.h"
#include "tools/kit/ToolMain.h"

#include <sndfile.h>

SoundFileReader::SoundFileReader(const std::filesystem::path& path)
{
    checkReadable(path, "audio file");
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw FileError("cannot read audio file " + path.string() + ": " + sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0)
    {
        sf_close(file);
        throw FileError("audio file " + path.string() + " has no channels or no sample rate");
    }
    channelCount = info.channels;
    rate = info.samplerate;
    frameCount = static_cast<uint64_t>(info.frames);
    switch (info.format & SF_FORMAT_SUBMASK)
    {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
        format = SampleFormat::pcm16;
        break;
    case SF_FORMAT_PCM_24:
        format = SampleFormat::pcm24;
        break;
    default:
        break;
    }
}

SoundFileReader::~SoundFileReader()
{
    sf_close(file);
}

size_t SoundFileReader::read(float* interleaved, size_t frames)
{
    const sf_count_t got = sf_readf_float(file, interleaved, static_cast<sf_count_t>(frames));
    return got > 0 ? static_cast<size_t>(got) : 0;
}
