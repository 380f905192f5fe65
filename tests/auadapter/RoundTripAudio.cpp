#include "RoundTripAudio.h"

#include "tools/SoundFile.h"
#include "tools/TestSignal.h"

std::vector<float> generatedNoise(double seconds)
{
    return generateSignal("noise", seconds, 2, 48000.0).samples;
}

std::vector<float> readSoundFile(const std::filesystem::path& file)
{
    return SoundFile::read(file).samples;
}
