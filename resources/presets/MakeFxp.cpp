// Writes every factory preset as an FXP program file in the chunk form
// ("FPCh", big-endian header, the effect's own state chunk) into the folder
// given: NAME.fxp, loadable by any VST 2.4 host and convertible to AudioUnit
// presets.
#include "engine/Vivuzudid.h"
#include "resources/presets/FactoryPresets.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

void putBig(std::vector<unsigned char>& out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(bits >> shift));
}

std::vector<unsigned char> programRecord(const FactoryPresets::Preset& preset)
{
    Vivuzudid effect(nullptr);
    FactoryPresets::apply(preset, effect);
    void* data = nullptr;
    const VstInt32 size = effect.getChunk(&data);
    const AEffect& record = *effect.getAeffect();

    std::vector<unsigned char> out;
    putBig(out, CCONST('C', 'c', 'n', 'K'));
    putBig(out, 52 + size);
    putBig(out, CCONST('F', 'P', 'C', 'h'));
    putBig(out, 1);
    putBig(out, Vivuzudid::kUniqueID);
    putBig(out, record.version);
    putBig(out, record.numParams);
    char name[28] = {};
    std::strncpy(name, preset.name.c_str(), 24);
    out.insert(out.end(), name, name + sizeof name);
    putBig(out, size);
    const auto* chunk = static_cast<const unsigned char*>(data);
    out.insert(out.end(), chunk, chunk + size);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& preset : FactoryPresets::all())
    {
        const std::string path = std::string(argv[1]) + "/" + preset.name + ".fxp";
        const std::vector<unsigned char> record = programRecord(preset);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        if (!file)
        {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
