#include "tools/vsthost/PresetDiagnosis.h"

#include "auadapter/FxPreset.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace
{

// Big-endian integer at `offset`, or nothing when the data ends first.
bool readAt(const uint8_t* data, size_t length, uint64_t offset, int32_t& out)
{
    if (offset > length || length - offset < 4)
        return false;
    const uint8_t* p = data + offset;
    out = static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]});
    return true;
}

std::string truncated(uint64_t expected, size_t length)
{
    return "the file is truncated: expected " + std::to_string(expected) + " bytes, the file has " + std::to_string(length);
}

// Length of a program-with-values record holding `count` values.
uint64_t programLength(int32_t count)
{
    return kFxProgramHeaderSize + 4 * static_cast<uint64_t>(std::max(count, 0));
}

} // namespace

std::string fourCharacterCode(int32_t id)
{
    const uint32_t bits = static_cast<uint32_t>(id);
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const unsigned char c = static_cast<unsigned char>(bits >> shift);
        text.push_back(std::isprint(c) ? static_cast<char>(c) : '.');
    }
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", bits);
    return text + "' (" + hex + ")";
}

std::string diagnosePreset(const uint8_t* data, size_t length, int32_t effectId)
{
    int32_t magic = 0, byteSize = 0, form = 0, version = 0, id = 0;
    if (!data || length == 0)
        return "the file is empty";
    if (!readAt(data, length, 0, magic))
        return truncated(kFxHeaderSize, length);
    if (magic != kFxChunkMagic)
        return "it is not an FXP or FXB file: it does not start with \"CcnK\"";
    if (!readAt(data, length, 4, byteSize) || !readAt(data, length, 8, form) || !readAt(data, length, 12, version) ||
        !readAt(data, length, 16, id) || length < kFxHeaderSize)
    {
        const uint64_t announced = byteSize > 0 ? static_cast<uint64_t>(byteSize) + 8 : 0;
        return truncated(std::max<uint64_t>(announced, kFxHeaderSize), length);
    }
    if (id != effectId)
        return "the file is for the plug-in with ID " + fourCharacterCode(id) + ", the effect has ID " + fourCharacterCode(effectId);
    if (version != kFxFormatVersion)
        return "the file has format version " + std::to_string(version) + " (this host reads version 1)";

    // The length the content needs, from the counts and chunk sizes in it.
    uint64_t needed = 0;
    int32_t count = 0, chunk = 0;
    switch (form)
    {
    case kFxProgramParams:
        needed = readAt(data, length, kFxHeaderSize, count) ? programLength(count) : kFxProgramHeaderSize;
        break;
    case kFxProgramChunk:
        needed = readAt(data, length, kFxProgramHeaderSize, chunk) ? kFxProgramHeaderSize + 4 + static_cast<uint64_t>(std::max(chunk, 0))
                                                                  : kFxProgramHeaderSize + 4;
        if (chunk < 0)
            return "its chunk length is negative (" + std::to_string(chunk) + ")";
        break;
    case kFxBankChunk:
        needed = readAt(data, length, kFxBankHeaderSize, chunk) ? kFxBankHeaderSize + 4 + static_cast<uint64_t>(std::max(chunk, 0))
                                                               : kFxBankHeaderSize + 4;
        if (chunk < 0)
            return "its chunk length is negative (" + std::to_string(chunk) + ")";
        break;
    case kFxBankParams:
    {
        int32_t programs = 0;
        needed = kFxBankHeaderSize;
        if (readAt(data, length, kFxHeaderSize, programs))
            for (int32_t p = 0; p < programs; ++p)
            {
                // Each program's length comes from its own value count.
                if (!readAt(data, length, needed + kFxHeaderSize, count))
                {
                    needed += programLength(0) * static_cast<uint64_t>(programs - p);
                    break;
                }
                needed += programLength(count);
            }
        break;
    }
    default:
        return "its record type " + fourCharacterCode(form) + " is none of FxCk, FPCh, FxBk or FBCh";
    }
    const uint64_t announced = static_cast<uint64_t>(static_cast<uint32_t>(byteSize)) + 8;
    if (length < std::max(needed, announced))
        return truncated(std::max(needed, announced), length);
    if (announced < needed)
        return "its size field says " + std::to_string(announced) + " bytes, its content needs " + std::to_string(needed);
    return {};
}
