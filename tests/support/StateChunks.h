// State chunks of the effect for tests that feed it damaged state: the
// default chunk, copies with fields overwritten, and the program and bank
// records (chunk forms) that carry a chunk.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace dc::chunks
{

constexpr size_t kChunkSize = 564;
constexpr size_t kCurveOffset = 32;
constexpr int32_t kEffectID = 0x4B77517A; // 'KwQz'
// Where each of the nine parameters lives in the chunk.
constexpr size_t kParameterOffsets[9] = {4, 8, 12, 20, 544, 548, 552, 556, 560};

inline void putFloat(std::vector<uint8_t>& chunk, size_t offset, float value)
{
    std::memcpy(chunk.data() + offset, &value, sizeof value);
}

// Version 1.05 with the default parameters and the initial curve.
inline std::vector<uint8_t> defaultChunk()
{
    std::vector<uint8_t> chunk(kChunkSize, 0);
    putFloat(chunk, 0, 1.05f);
    const float values[9] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f, 0.5f};
    for (int i = 0; i < 9; ++i)
        putFloat(chunk, kParameterOffsets[i], values[i]);
    for (int32_t i = 0; i < 128; ++i)
    {
        const int32_t point = 128 - i;
        std::memcpy(chunk.data() + kCurveOffset + 4 * i, &point, 4);
    }
    return chunk;
}

// Every curve point set to `value`.
inline std::vector<uint8_t> withCurve(std::vector<uint8_t> chunk, int32_t value)
{
    for (int i = 0; i < 128; ++i)
        std::memcpy(chunk.data() + kCurveOffset + 4 * i, &value, 4);
    return chunk;
}

inline std::vector<uint8_t> withParameter(std::vector<uint8_t> chunk, int index, float value)
{
    putFloat(chunk, kParameterOffsets[index], value);
    return chunk;
}

inline void putBig(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// The program record ("FPCh") or bank record ("FBCh") around `chunk`.
inline std::vector<uint8_t> chunkRecord(const std::vector<uint8_t>& chunk, bool bank, const std::string& name = "Init")
{
    std::vector<uint8_t> r;
    const uint32_t headerSize = bank ? 156 : 56;
    putBig(r, 0x43636E4B); // CcnK
    putBig(r, static_cast<uint32_t>(headerSize + 4 + chunk.size() - 8));
    putBig(r, bank ? 0x46424368 : 0x46504368); // FBCh, FPCh
    putBig(r, 1);
    putBig(r, kEffectID);
    putBig(r, 1);
    putBig(r, bank ? 1 : 9); // programs, or parameters
    r.resize(headerSize, 0);
    if (!bank)
        std::memcpy(r.data() + 28, name.data(), std::min<size_t>(name.size(), 24));
    putBig(r, static_cast<uint32_t>(chunk.size()));
    r.insert(r.end(), chunk.begin(), chunk.end());
    return r;
}

} // namespace dc::chunks
