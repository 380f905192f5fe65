// Explains in plain words why an FXP or FXB file does not fit an effect,
// from its header and its length alone: not such a file, cut short, made
// for another plug-in, or of an unknown kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "'KwQz' (0x4B77517A)": the four characters (dots for unprintable ones)
// and the number.
std::string fourCharacterCode(int32_t id);

// The first problem found, e.g. "the file is truncated: expected 1234
// bytes, the file has 100", or empty when the header and the length look
// right for an effect with the unique ID `effectId`.
std::string diagnosePreset(const uint8_t* data, size_t length, int32_t effectId);
