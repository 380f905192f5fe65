// Signals generated for renders without an input file.
#pragma once

#include "tools/AudioBuffer.h"

#include <string>

// "sine": 220 Hz at half scale; "noise": white noise at quarter scale from a
// fixed seed; "sweep": a logarithmic sweep from 20 Hz to 20 kHz at half
// scale. Every channel gets the same signal.
AudioBuffer generateSignal(const std::string& kind, double seconds, int32_t channels, double sampleRate);
