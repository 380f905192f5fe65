#include "tools/SoundFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

namespace
{

struct CloseSndfile
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, CloseSndfile>;

int formatFor(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    if (extension == ".wav")
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".aif" || extension == ".aiff")
        return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    if (extension == ".flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    return 0;
}

} // namespace

AudioBuffer SoundFile::read(const std::filesystem::path& path)
{
    SF_INFO info{};
    SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw SoundFileError("cannot read audio file " + path.string() + ": " + sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate <= 0)
        throw SoundFileError("audio file " + path.string() + " has no channels or no sample rate");
    AudioBuffer audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(file.get(), audio.samples.data(), info.frames);
    audio.samples.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0)) * static_cast<size_t>(info.channels));
    return audio;
}

bool SoundFile::isWritableName(const std::filesystem::path& path)
{
    return formatFor(path) != 0;
}

void SoundFile::write(const std::filesystem::path& path, const AudioBuffer& audio)
{
    const int format = formatFor(path);
    if (!format)
        throw SoundFileError("unknown output format for " + path.string() + " (use .wav, .flac, .aif or .aiff)");
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.sampleRate + 0.5);
    info.channels = audio.channels;
    info.format = format;
    if (!sf_format_check(&info))
        throw SoundFileError("cannot write " + std::to_string(audio.channels) + " channels at " +
                             std::to_string(info.samplerate) + " Hz to " + path.string());
    SndfileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file)
        throw SoundFileError("cannot write audio file " + path.string() + ": " + sf_strerror(nullptr));
    // Formats with integer samples clip instead of wrapping.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(audio.frames());
    if (sf_writef_float(file.get(), audio.samples.data(), frames) != frames)
        throw SoundFileError("cannot write audio file " + path.string() + ": " + sf_strerror(file.get()));
}
