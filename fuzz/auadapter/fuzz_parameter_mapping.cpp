// libFuzzer target for the mapping file reader: the first byte is the
// effect's parameter count (0 to 255), the rest is the file.
#include "auadapter/ParameterMapping.h"
#include "auadapter/TwinfoldException.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int32_t count = data[0];
    std::vector<AudioUnitParameterInfo> infos(static_cast<size_t>(count));
    std::vector<CFArrayRef> strings(static_cast<size_t>(count), nullptr);
    std::vector<UInt32> list(1024);
    int32_t listCount = 0;
    ParameterTables tables{count, &listCount, list.data(), infos.data(), strings.data()};
    // The file is handed over in its own allocation so reads past it are caught.
    std::vector<uint8_t> file(data + 1, data + size);
    try
    {
        parseParameterMapping(file.data(), file.size(), tables);
    }
    catch (const TwinfoldException&)
    {
    }
    for (int32_t i = 0; i < listCount; ++i)
    {
        const AudioUnitParameterInfo& info = infos[list[static_cast<size_t>(i)]];
        if (!(info.minValue <= info.maxValue) || info.name[sizeof(info.name) - 1] != '\0')
            __builtin_trap();
    }
    releaseParameterTables(tables);
    return 0;
}
