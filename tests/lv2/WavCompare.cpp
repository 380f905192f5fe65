// lv2_wav_compare A B: exit 0 when the two sound files hold the same number
// of frames and channels and every sample is the same float, bit for bit;
// otherwise 1, naming the first difference.
#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool load(const char* path, SF_INFO& info, std::vector<float>& samples)
{
    info = {};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file)
    {
        std::fprintf(stderr, "cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t read = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return read == info.frames;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    SF_INFO a, b;
    std::vector<float> sa, sb;
    if (!load(argv[1], a, sa) || !load(argv[2], b, sb))
        return 1;
    if (a.frames != b.frames || a.channels != b.channels)
    {
        std::printf("%s: %lld frames of %d channels, %s: %lld of %d\n", argv[1], static_cast<long long>(a.frames),
                    a.channels, argv[2], static_cast<long long>(b.frames), b.channels);
        return 1;
    }
    for (size_t i = 0; i < sa.size(); ++i)
        if (std::memcmp(&sa[i], &sb[i], sizeof(float)) != 0)
        {
            std::printf("frame %zu, channel %zu: %.9g against %.9g\n", i / static_cast<size_t>(a.channels),
                        i % static_cast<size_t>(a.channels), sa[i], sb[i]);
            return 1;
        }
    std::printf("identical: %lld frames of %d channels\n", static_cast<long long>(a.frames), a.channels);
    return 0;
}
