#include "tools/kit/SoundFile.h"

#include "tools/kit/SoundFileReader.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/ToolMain.h"

AudioBuffer SoundFile::read(const std::filesystem::path& path)
{
    SoundFileReader reader(path);
    AudioBuffer audio;
    audio.sampleRate = reader.sampleRate();
    audio.channels = reader.channels();
    audio.samples.resize(static_cast<size_t>(reader.frames()) * static_cast<size_t>(reader.channels()));
    const size_t got = reader.read(audio.samples.data(), static_cast<size_t>(reader.frames()));
    audio.samples.resize(got * static_cast<size_t>(reader.channels()));
    return audio;
}

void SoundFile::write(const std::filesystem::path& path, const AudioBuffer& audio, SampleFormat format)
{
    const std::optional<Container> container = containerFor(path);
    if (!container)
        throw UsageError("unknown output format for " + path.string() + " (use .wav, .flac, .aif or .aiff)");
    if (!canHold(*container, format))
        throw UsageError(std::string(containerName(*container)) + " cannot hold " + sampleFormatName(format) + " samples");
    SoundFileWriter writer(path, *container, format, audio.channels, static_cast<int32_t>(audio.sampleRate + 0.5));
    writer.write(audio.samples.data(), audio.frames());
    writer.finish();
}
