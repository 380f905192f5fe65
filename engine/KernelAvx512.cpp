// The AVX-512 kernel: without filters sixteen frames of a channel at once,
// the curve index gathered from ShaperIndex's packed buckets (two eight-lane
// gathers) and the output picked from the curve's 128 outputs held in eight
// registers. With a filter on it runs the SSE2 routes. Built with -mavx512f;
// everything here stays in this file's namespace.
//
// The tests build this same source a second time with DC_KERNEL_SIMDE, against
// SIMDe's portable AVX-512 intrinsics, so that machines without AVX-512 prove
// it exact too.
#include "engine/ChainKernel.h"

#if defined(DC_KERNEL_SIMDE)
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx2.h>
#include <simde/x86/avx512.h>
#else
#include <immintrin.h>
#endif

namespace Chain {

namespace {

using Buckets = ShaperIndex::Table;

inline __m512 absOf(__m512 v)
{
    return _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(v), _mm512_set1_epi32(0x7FFFFFFF)));
}

// The 128 curve outputs in eight registers.
struct Outputs
{
    __m512 o[8];

    explicit Outputs(const float* outputs)
    {
        for (int k = 0; k < 8; ++k)
            o[k] = _mm512_loadu_ps(outputs + 16 * k);
    }

    // outputs[index] for indices 0..127: four two-register permutes pick by
    // bits 0 to 4, index bits 5 and 6 choose among them.
    inline __m512 at(__m512i index) const
    {
        const __m512 a = _mm512_permutex2var_ps(o[0], index, o[1]);
        const __m512 b = _mm512_permutex2var_ps(o[2], index, o[3]);
        const __m512 c = _mm512_permutex2var_ps(o[4], index, o[5]);
        const __m512 d = _mm512_permutex2var_ps(o[6], index, o[7]);
        const __mmask16 bit5 = _mm512_test_epi32_mask(index, _mm512_set1_epi32(32));
        const __mmask16 bit6 = _mm512_test_epi32_mask(index, _mm512_set1_epi32(64));
        return _mm512_mask_blend_ps(bit6, _mm512_mask_blend_ps(bit5, a, b), _mm512_mask_blend_ps(bit5, c, d));
    }
};

// The curve output for each lane of v, given a = |v|, negated where v < 0.
// s = |v| + 1 is limited to [1, 2): 2 and above (and inf) fall into the last
// bucket, whose index is 127; NaN becomes 1 (index 0), as a NaN clipped to 0.
inline __m512 shape(const int32_t* packed, const Outputs& outputs, __m512 v, __m512 a)
{
    __m512 s = _mm512_add_ps(a, _mm512_set1_ps(1.0f));
    s = _mm512_min_ps(_mm512_max_ps(s, _mm512_set1_ps(1.0f)), _mm512_set1_ps(0x1.fffffep0f));
    const __m512i u = _mm512_castps_si512(s);
    const __m512i bucket =
        _mm512_and_si512(_mm512_srli_epi32(u, Buckets::kShift), _mm512_set1_epi32((1 << Buckets::kBucketBits) - 1));
    const __m256i e0 = _mm256_i32gather_epi32(packed, _mm512_castsi512_si256(bucket), 4);
    const __m256i e1 = _mm256_i32gather_epi32(packed, _mm512_extracti64x4_epi64(bucket, 1), 4);
    const __m512i e = _mm512_inserti64x4(_mm512_castsi256_si512(e0), e1, 1);
    const __m512i low = _mm512_and_si512(u, _mm512_set1_epi32(static_cast<int>(Buckets::kLowMask)));
    const __mmask16 up = _mm512_cmpgt_epi32_mask(low, _mm512_and_si512(e, _mm512_set1_epi32(0xFFFF)));
    __m512i index = _mm512_srli_epi32(e, 16);
    index = _mm512_mask_add_epi32(index, up, index, _mm512_set1_epi32(1));
    const __m512i out = _mm512_castps_si512(outputs.at(index));
    // Not for -0.0 or NaN.
    const __mmask16 negative = _mm512_cmp_ps_mask(v, _mm512_setzero_ps(), _CMP_LT_OQ);
    return _mm512_castsi512_ps(_mm512_mask_xor_epi32(out, negative, out, _mm512_set1_epi32(INT32_MIN)));
}

// Lanes whose |v| is at most 1e-18, or NaN (a NaN input is clipped to 0).
inline __mmask16 quiet(__m512 a)
{
    return _mm512_cmp_ps_mask(a, _mm512_set1_ps(kSilenceLimit), _CMP_NGT_UQ);
}

// Clip to +-1, NaN to 0.
inline __m512 clip(__m512 v)
{
    v = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, v, _CMP_ORD_Q), v);
    return _mm512_max_ps(_mm512_set1_ps(-1.0f), _mm512_min_ps(_mm512_set1_ps(1.0f), v));
}

template <bool kShaper, bool kMix>
struct Sixteen
{
    __m512 gainL, gainR, postGain, wet, dry;
    const int32_t* packed;
    Outputs outputs;

    Sixteen(const Settings& s, const ShaperTable& t)
        : gainL(_mm512_set1_ps(s.gainL)), gainR(_mm512_set1_ps(s.gainR)), postGain(_mm512_set1_ps(s.postGain)),
          wet(_mm512_set1_ps(s.wet)), dry(_mm512_set1_ps(s.dry)), packed(t.packed), outputs(t.outputs)
    {
    }

    // Sixteen frames; the inputs are read before the outputs are written.
    inline void run(const float* in0, const float* in1, float* out0, float* out1) const
    {
        const __m512 inL = _mm512_loadu_ps(in0), inR = _mm512_loadu_ps(in1);
        __m512 l = _mm512_mul_ps(inL, gainL);
        __m512 r = _mm512_mul_ps(inR, gainR);
        if constexpr (kShaper)
        {
            // The clip to +-1 (NaN to 0) changes neither sign, silence nor index.
            const __m512 al = absOf(l), ar = absOf(r);
            const __m512 outL = shape(packed, outputs, l, al), outR = shape(packed, outputs, r, ar);
            const __mmask16 silent = quiet(al) & quiet(ar);
            l = _mm512_mask_blend_ps(silent, outL, _mm512_setzero_ps());
            r = _mm512_mask_blend_ps(silent, outR, _mm512_setzero_ps());
        }
        else
        {
            l = clip(l);
            r = clip(r);
        }
        l = _mm512_mul_ps(l, postGain);
        r = _mm512_mul_ps(r, postGain);
        if constexpr (kMix)
        {
            l = _mm512_add_ps(_mm512_mul_ps(l, wet), _mm512_mul_ps(inL, dry));
            r = _mm512_add_ps(_mm512_mul_ps(r, wet), _mm512_mul_ps(inR, dry));
        }
        _mm512_storeu_ps(out0, l);
        _mm512_storeu_ps(out1, r);
    }
};

template <bool kShaper, bool kMix>
void runBlockwise(const Settings& s, const ShaperTable& t, const Block& b)
{
    const Sixteen<kShaper, kMix> sixteen(s, t);
    int32_t i = 0;
    for (; i + 16 <= b.frames; i += 16)
        sixteen.run(b.in0 + i, b.in1 + i, b.out0 + i, b.out1 + i);
    const int32_t rest = b.frames - i;
    if (rest == 0)
        return;
    alignas(64) float inL[16] = {}, inR[16] = {}, outL[16], outR[16];
    for (int32_t k = 0; k < rest; ++k)
    {
        inL[k] = b.in0[i + k];
        inR[k] = b.in1[i + k];
    }
    sixteen.run(inL, inR, outL, outR);
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

#if defined(DC_KERNEL_SIMDE)
constexpr Kernel kAvx512{"avx512_simde", false, &run};
#else
constexpr Kernel kAvx512{"avx512", false, &run};
#endif

} // namespace

#if defined(DC_KERNEL_SIMDE)
const Kernel& avx512SimdeKernel()
#else
const Kernel& avx512Kernel()
#endif
{
    return kAvx512;
}

} // namespace Chain
