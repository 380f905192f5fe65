// The AVX2 kernel: without filters eight frames of a channel at once, each
// lane's bucket entry (the outputs below and above its step, and the step)
// loaded on its own and transposed; loads and shuffles outrun gathers on
// the CPUs measured. With a filter on it runs the SSE2 routes. Built with
// -mavx2; everything here stays in this file's namespace.
#include "engine/ChainKernel.h"
#include "engine/KernelBlocks.h"

#include <immintrin.h>

namespace Chain {

namespace {

inline __m256 absOf(__m256 v)
{
    return _mm256_and_ps(v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)));
}

// The curve output for each lane of v, given a = |v|, negated where v < 0.
// s = |v| + 1 is limited to [1, 2): 2 and above (and inf) fall into the last
// bucket, whose index is 127; NaN becomes 1 (index 0), as a NaN clipped to 0.
inline __m256 shape(const ShaperTable::Entry* entries, __m256 v, __m256 a)
{
    __m256 s = _mm256_add_ps(a, _mm256_set1_ps(1.0f));
    s = _mm256_min_ps(_mm256_max_ps(s, _mm256_set1_ps(1.0f)), _mm256_set1_ps(0x1.fffffep0f));
    const __m256i u = _mm256_castps_si256(s);
    // Byte offset of each lane's entry: the top ten mantissa bits times 16.
    alignas(32) uint32_t offset[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(offset),
                       _mm256_and_si256(_mm256_srli_epi32(u, 9), _mm256_set1_epi32(0x3FF0)));
    const char* base = reinterpret_cast<const char*>(entries);
    auto entry = [&](int lane) { return _mm_load_ps(reinterpret_cast<const float*>(base + offset[lane])); };
    // Lanes k and k + 4 side by side, then a 4 x 4 transpose in each half.
    const __m256 e0 = _mm256_insertf128_ps(_mm256_castps128_ps256(entry(0)), entry(4), 1);
    const __m256 e1 = _mm256_insertf128_ps(_mm256_castps128_ps256(entry(1)), entry(5), 1);
    const __m256 e2 = _mm256_insertf128_ps(_mm256_castps128_ps256(entry(2)), entry(6), 1);
    const __m256 e3 = _mm256_insertf128_ps(_mm256_castps128_ps256(entry(3)), entry(7), 1);
    const __m256 t0 = _mm256_unpacklo_ps(e0, e1), t1 = _mm256_unpacklo_ps(e2, e3);
    const __m256 t2 = _mm256_unpackhi_ps(e0, e1), t3 = _mm256_unpackhi_ps(e2, e3);
    const __m256 below = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 above = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 step = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256i up = _mm256_cmpgt_epi32(u, _mm256_castps_si256(step));
    const __m256 out = _mm256_blendv_ps(below, above, _mm256_castsi256_ps(up));
    // Not for -0.0 or NaN.
    const __m256 negative = _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_LT_OQ);
    return _mm256_xor_ps(out, _mm256_and_ps(negative, _mm256_castsi256_ps(_mm256_set1_epi32(INT32_MIN))));
}

// Lanes whose |v| is at most 1e-18, or NaN (a NaN input is clipped to 0).
inline __m256 quiet(__m256 a)
{
    return _mm256_cmp_ps(a, _mm256_set1_ps(kSilenceLimit), _CMP_NGT_UQ);
}

// Clip to +-1, NaN to 0.
inline __m256 clipOf(__m256 v)
{
    v = _mm256_and_ps(v, _mm256_cmp_ps(v, v, _CMP_ORD_Q));
    return _mm256_max_ps(_mm256_set1_ps(-1.0f), _mm256_min_ps(_mm256_set1_ps(1.0f), v));
}

struct Avx2
{
    using Vec = __m256;
    static constexpr int32_t kWidth = 8;
    static Vec load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, Vec v) { _mm256_storeu_ps(p, v); }
    static Vec set1(float v) { return _mm256_set1_ps(v); }
    static Vec mul(Vec a, Vec b) { return _mm256_mul_ps(a, b); }
    static Vec add(Vec a, Vec b) { return _mm256_add_ps(a, b); }
    static Vec clip(Vec v) { return clipOf(v); }

    struct Shaper
    {
        const ShaperTable::Entry* entries;
        explicit Shaper(const ShaperTable& t) : entries(t.entries) {}
    };
    [[gnu::always_inline]] static void shapeBoth(const Shaper& shaper, Vec& l, Vec& r)
    {
        const __m256 al = absOf(l), ar = absOf(r);
        const __m256 outL = shape(shaper.entries, l, al), outR = shape(shaper.entries, r, ar);
        const __m256 silent = _mm256_and_ps(quiet(al), quiet(ar));
        l = _mm256_andnot_ps(silent, outL);
        r = _mm256_andnot_ps(silent, outR);
    }
};

constexpr Kernel kAvx2{"avx2", true, &runKernel<runBlockAvx2>};

} // namespace

void runBlockAvx2(const Settings& s, const ShaperTable& t, const Block& b)
{
    if (b.frames >= Avx2::kWidth)
        runFrames<Avx2>(s, t, b);
    else
        runBlockSse2(s, t, b);
}

const Kernel& avx2Kernel()
{
    return kAvx2;
}

} // namespace Chain
