// lv2_state_probe STATE.ttl OUT: restores a saved state into a fresh instance
// of the bundle under test and writes its nine port values, its curve and a
// fixed render (2048 frames, left then right) to OUT.
#include "tests/lv2/Lv2TestSupport.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    using namespace dc::lv2test;
    if (argc != 3)
        return 2;
    Bundle& b = Bundle::get();
    LilvState* state = lilv_state_new_from_file(b.world, &b.urids.mapFeature, nullptr, argv[1]);
    if (!state)
    {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    Instance lv2(44100.0);
    lv2.run(0);
    lv2.restore(state);
    lilv_state_free(state);
    const Curve curve = curveOf(lv2);
    const std::vector<float> out = renderSines(lv2);
    std::ofstream file(argv[2], std::ios::binary);
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        file.write(reinterpret_cast<const char*>(&lv2.control(i)), sizeof(float));
    file.write(reinterpret_cast<const char*>(curve.data()), sizeof curve);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size() * sizeof(float)));
    return file ? 0 : 1;
}
