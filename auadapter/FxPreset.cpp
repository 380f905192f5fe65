#include "auadapter/FxPreset.h"

#include "auadapter/EOFException.h"

const uint8_t* readBigInt32(const uint8_t* position, const uint8_t* end, int32_t& out)
{
    if (!position || !end || end < position || end - position < 4)
        throw EOFException("End of file error");
    const uint32_t value = (static_cast<uint32_t>(position[0]) << 24) | (static_cast<uint32_t>(position[1]) << 16) |
                           (static_cast<uint32_t>(position[2]) << 8) | static_cast<uint32_t>(position[3]);
    out = static_cast<int32_t>(value);
    return position + 4;
}

uint8_t* writeBigInt32(uint8_t* out, int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(bits >> 24);
    out[1] = static_cast<uint8_t>(bits >> 16);
    out[2] = static_cast<uint8_t>(bits >> 8);
    out[3] = static_cast<uint8_t>(bits);
    return out + 4;
}
