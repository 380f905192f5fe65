// Audio helpers of the round-trip test, kept apart from the AudioUnit
// headers (the tools' AudioBuffer shares a name with the published record).
#pragma once

#include <filesystem>
#include <vector>

// auhost's "noise" signal: interleaved stereo at 48 kHz.
std::vector<float> generatedNoise(double seconds);
// Interleaved samples of a sound file written by auhost.
std::vector<float> readSoundFile(const std::filesystem::path& file);
