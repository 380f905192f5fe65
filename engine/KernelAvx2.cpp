// The AVX2 kernel: without filters eight frames of a channel at once, the
// curve index gathered from ShaperIndex's packed buckets and the output
// gathered from the curve's 128 outputs. With a filter on it runs the SSE2
// routes. Built with -mavx2; everything here stays in this file's namespace.
#include "engine/ChainKernel.h"

#include <immintrin.h>

namespace Chain {

namespace {

using Buckets = ShaperIndex::Table;

inline __m256 absOf(__m256 v)
{
    return _mm256_and_ps(v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)));
}

// The curve output for each lane of v, given a = |v|, negated where v < 0.
// s = |v| + 1 is limited to [1, 2): 2 and above (and inf) fall into the last
// bucket, whose index is 127; NaN becomes 1 (index 0), as a NaN clipped to 0.
inline __m256 shape(const ShaperTable& t, __m256 v, __m256 a)
{
    __m256 s = _mm256_add_ps(a, _mm256_set1_ps(1.0f));
    s = _mm256_min_ps(_mm256_max_ps(s, _mm256_set1_ps(1.0f)), _mm256_set1_ps(0x1.fffffep0f));
    const __m256i u = _mm256_castps_si256(s);
    const __m256i bucket =
        _mm256_and_si256(_mm256_srli_epi32(u, Buckets::kShift), _mm256_set1_epi32((1 << Buckets::kBucketBits) - 1));
    const __m256i e = _mm256_i32gather_epi32(t.packed, bucket, 4);
    const __m256i low = _mm256_and_si256(u, _mm256_set1_epi32(static_cast<int>(Buckets::kLowMask)));
    const __m256i up = _mm256_cmpgt_epi32(low, _mm256_and_si256(e, _mm256_set1_epi32(0xFFFF)));
    const __m256i index = _mm256_sub_epi32(_mm256_srli_epi32(e, 16), up);
    const __m256 out = _mm256_i32gather_ps(t.outputs, index, 4);
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
inline __m256 clip(__m256 v)
{
    v = _mm256_and_ps(v, _mm256_cmp_ps(v, v, _CMP_ORD_Q));
    return _mm256_max_ps(_mm256_set1_ps(-1.0f), _mm256_min_ps(_mm256_set1_ps(1.0f), v));
}

template <bool kShaper, bool kMix>
struct Eight
{
    __m256 gainL, gainR, postGain, wet, dry;

    explicit Eight(const Settings& s)
        : gainL(_mm256_set1_ps(s.gainL)), gainR(_mm256_set1_ps(s.gainR)), postGain(_mm256_set1_ps(s.postGain)),
          wet(_mm256_set1_ps(s.wet)), dry(_mm256_set1_ps(s.dry))
    {
    }

    // Eight frames; the inputs are read before the outputs are written.
    inline void run(const ShaperTable& t, const float* in0, const float* in1, float* out0, float* out1) const
    {
        const __m256 inL = _mm256_loadu_ps(in0), inR = _mm256_loadu_ps(in1);
        __m256 l = _mm256_mul_ps(inL, gainL);
        __m256 r = _mm256_mul_ps(inR, gainR);
        if constexpr (kShaper)
        {
            // The clip to +-1 (NaN to 0) changes neither sign, silence nor index.
            const __m256 al = absOf(l), ar = absOf(r);
            const __m256 outL = shape(t, l, al), outR = shape(t, r, ar);
            const __m256 silent = _mm256_and_ps(quiet(al), quiet(ar));
            l = _mm256_andnot_ps(silent, outL);
            r = _mm256_andnot_ps(silent, outR);
        }
        else
        {
            l = clip(l);
            r = clip(r);
        }
        l = _mm256_mul_ps(l, postGain);
        r = _mm256_mul_ps(r, postGain);
        if constexpr (kMix)
        {
            l = _mm256_add_ps(_mm256_mul_ps(l, wet), _mm256_mul_ps(inL, dry));
            r = _mm256_add_ps(_mm256_mul_ps(r, wet), _mm256_mul_ps(inR, dry));
        }
        _mm256_storeu_ps(out0, l);
        _mm256_storeu_ps(out1, r);
    }
};

template <bool kShaper, bool kMix>
void runBlockwise(const Settings& s, const ShaperTable& t, const Block& b)
{
    const Eight<kShaper, kMix> eight(s);
    int32_t i = 0;
    for (; i + 8 <= b.frames; i += 8)
        eight.run(t, b.in0 + i, b.in1 + i, b.out0 + i, b.out1 + i);
    const int32_t rest = b.frames - i;
    if (rest == 0)
        return;
    alignas(32) float inL[8] = {}, inR[8] = {}, outL[8], outR[8];
    for (int32_t k = 0; k < rest; ++k)
    {
        inL[k] = b.in0[i + k];
        inR[k] = b.in1[i + k];
    }
    eight.run(t, inL, inR, outL, outR);
    for (int32_t k = 0; k < rest; ++k)
    {
        b.out0[i + k] = outL[k];
        b.out1[i + k] = outR[k];
    }
}

void run(const Settings& s, const ShaperTable& t, DovanSVF* filters, LastIndices& last, const Block& b)
{
    if (s.preOn || s.postOn)
    {
        runFilteredSse2(s, t, filters, last, b);
        return;
    }
    if (s.shaperOn)
    {
        // Found before any output is written, since the buffers may be shared.
        findLastIndices(s, b, last);
        s.mix ? runBlockwise<true, true>(s, t, b) : runBlockwise<true, false>(s, t, b);
    }
    else
        s.mix ? runBlockwise<false, true>(s, t, b) : runBlockwise<false, false>(s, t, b);
}

constexpr Kernel kAvx2{"avx2", false, &run};

} // namespace

const Kernel& avx2Kernel()
{
    return kAvx2;
}

} // namespace Chain
