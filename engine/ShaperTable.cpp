#include "engine/ShaperTable.h"

#include <limits>

void ShaperTable::build(const int32_t* curve, bool withEntries)
{
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        outputs[i] = static_cast<float>(static_cast<int64_t>(128) - curve[i]) * 0.0078125f;
    if (!withEntries)
        return;
    const ShaperIndex::Table& t = ShaperIndex::table();
    for (int b = 0; b < kEntries; ++b)
    {
        const int32_t below = t.base[b];
        const int32_t above = below < 127 ? below + 1 : 127;
        entries[b].below = outputs[below];
        entries[b].above = outputs[above];
        entries[b].stepMinus1 =
            t.step[b] == 0xFFFFFFFFu ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(t.step[b] - 1u);
    }
}
