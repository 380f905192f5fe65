// What a render tells the user, alike in both hosts: control changes that
// come too late, the levels of input and output, and the file written.
#pragma once

#include "tools/kit/AudioFormat.h"
#include "tools/kit/HostOptions.h"

#include <cstdint>
#include <string>
#include <vector>

class LevelMeter;

// Warns about each control change at or after `totalFrames`: it is not sent.
void warnAboutLateControlChanges(const std::vector<ControlChange>& changes, uint64_t totalFrames, int32_t sampleRate);
// "input  2 ch, 48000 frames at 48000 Hz: peak -6.02 dBFS, RMS -9.03 dBFS" on stdout.
void printLevels(const char* what, int32_t channels, uint64_t frames, int32_t sampleRate, const LevelMeter& levels);
// "wrote  OUT.wav (WAV as RF64, float)" on stdout.
void printWritten(const std::string& output, Container container, bool rf64, SampleFormat format);
