#include "RoundTripAudio.h"

#include "tools/kit/SoundFile.h"
#include "tools/kit/TestSignal.h"

std::vector<float> generatedNoise(double seconds)
{
    return generateSignal("noise", seconds, 2, 48000.0).samples;
}

std::vector<float> readSoundFile(const std::filesystem::path& file)
{
    return SoundFile::read(file).samples;
}
