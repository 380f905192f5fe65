// The 564-byte state block: parameters and curve in native byte order.
#pragma once

#include "engine/Parameters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace StateChunk {

constexpr size_t kSize = 564;
using Buffer = std::array<unsigned char, kSize>;

// Field offsets.
constexpr size_t kVersion = 0;
constexpr size_t kPreGain = 4;
constexpr size_t kPrePan = 8;
constexpr size_t kPostGain = 12;
constexpr size_t kShaperSw = 20;
constexpr size_t kCurve = 32;
constexpr size_t kWetDry = 544;
constexpr size_t kPreFilterType = 548;
constexpr size_t kPostFilterType = 552;
constexpr size_t kPreCutoff = 556;
constexpr size_t kPostCutoff = 560;

constexpr float kWrittenVersion = 1.05f;
constexpr float kWetDryVersion = 1.01f;
constexpr float kFilterVersion = 1.05f;

// Whether a version is understood at all: strictly between 1.0 and 2.0.
constexpr bool understood(float version) { return version > 1.0f && version < 2.0f; }

// The bytes a chunk of this (understood) version must have.
constexpr size_t requiredSize(float version)
{
    return version >= kFilterVersion ? kSize : (version >= kWetDryVersion ? kWetDry + 4 : kWetDry);
}

template <typename T>
T read(const unsigned char* data, size_t offset)
{
    T v;
    std::memcpy(&v, data + offset, sizeof v);
    return v;
}

template <typename T>
void write(unsigned char* data, size_t offset, T v)
{
    std::memcpy(data + offset, &v, sizeof v);
}

// What reading a block gave.
enum class Loaded
{
    refused,        // too short for its version, or no data: nothing to load
    unknownVersion, // the parameters go to their defaults, the curve stays
    restored,
};

// Reads a block into `state`, which holds what the fields the block does not
// carry become (the defaults and the current curve). Never reads beyond
// `size` nor beyond 564 bytes. Every value is bounded as it enters: a finite
// parameter to 0..1 (a non-finite one keeps the default), a curve point to
// 0..128.
Loaded decode(const unsigned char* data, size_t size, EffectState& state);

// Writes the state with the current version; the reserved words are zero.
void encode(const EffectState& state, Buffer& out);

} // namespace StateChunk
