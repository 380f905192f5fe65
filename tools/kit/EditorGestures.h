// Names for what an editor brackets with beginEdit/endEdit on an index that
// is no parameter of the effect. Dithercrunch ('KwQz') brackets each curve
// drawing with index 10, the first of its hidden curve-point channel.
#pragma once

#include <cstdint>
#include <string>

// "curve" for Dithercrunch's index 10; "parameter N" for anything unknown.
inline std::string gestureName(uint32_t uniqueId, int64_t index)
{
    constexpr uint32_t kDithercrunch = 0x4B77517A; // 'KwQz'
    if (uniqueId == kDithercrunch && index == 10)
        return "curve";
    return "parameter " + std::to_string(index);
}
