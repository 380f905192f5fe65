// The AVX-512 kernel: without filters sixteen frames of a channel at once,
// all in registers: the curve index from IndexPolynomial and the output
// picked from the curve's 128 outputs held in eight registers, no loads and
// no gathers. Shorter blocks go to the AVX2 kernel, and with a filter on it
// runs the SSE2 routes. Built with -mavx512f; everything here stays in this
// file's namespace.
//
// The tests build this same source a second time with DC_KERNEL_SIMDE, against
// SIMDe's portable AVX-512 intrinsics, so that machines without AVX-512 prove
// it exact too.
#include "engine/ChainKernel.h"
#include "engine/KernelBlocks.h"

#if defined(DC_KERNEL_SIMDE)
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx2.h>
#include <simde/x86/avx512.h>
#else
#include <immintrin.h>
#endif

namespace Chain {

namespace {

inline __m512 absOf(__m512 v)
{
    return _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(v), _mm512_set1_epi32(0x7FFFFFFF)));
}

// The 128 curve outputs in eight registers.
struct Outputs
{
    __m512 o[8];

    explicit Outputs(const ShaperTable& t)
    {
        for (int k = 0; k < 8; ++k)
            o[k] = _mm512_loadu_ps(t.outputs + 16 * k);
    }

    // outputs[index & 127]: four two-register permutes pick by bits 0 to 4,
    // index bits 5 and 6 choose among them; higher bits are not read.
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

// Lanes near a step take the exact index (in the same form: plus 2^23's bits).
__attribute__((noinline, cold)) __m512i fixNearSteps(__m512 s, __m512i index, __mmask16 lanes)
{
    alignas(64) float sv[16];
    alignas(64) int32_t iv[16];
    _mm512_storeu_ps(sv, s);
    _mm512_storeu_si512(iv, index);
    for (int lane = 0; lane < 16; ++lane)
        if (lanes & (1u << lane))
            iv[lane] = 0x4B000000 + exactIndex(sv[lane]);
    return _mm512_loadu_si512(iv);
}

// The curve index of s (1 <= s < 2), from IndexPolynomial.
inline __m512i indexOf(__m512 s)
{
    using P = IndexPolynomial;
    const __m512 x = _mm512_min_ps(_mm512_sub_ps(s, _mm512_set1_ps(1.0f)), _mm512_set1_ps(P::kDomain));
    __m512 a = _mm512_set1_ps(P::c6);
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c5));
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c4));
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c3));
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c2));
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c1));
    a = _mm512_add_ps(_mm512_mul_ps(a, x), _mm512_set1_ps(P::c0));
    a = _mm512_min_ps(a, _mm512_set1_ps(P::kCeiling));
    // k = floor(a) (a >= 0) from the bits of a + 2^23, which hold a rounded
    // to an integer in their low mantissa bits (all the output lookup reads);
    // one less where that rounded up.
    const __m512 rounded = _mm512_add_ps(a, _mm512_set1_ps(0x1p23f));
    const __m512 whole = _mm512_sub_ps(rounded, _mm512_set1_ps(0x1p23f));
    const __mmask16 roundedUp = _mm512_cmp_ps_mask(whole, a, _CMP_GT_OQ);
    const __m512 k = _mm512_mask_sub_ps(whole, roundedUp, whole, _mm512_set1_ps(1.0f));
    const __m512i roundedBits = _mm512_castps_si512(rounded);
    const __m512i index = _mm512_mask_sub_epi32(roundedBits, roundedUp, roundedBits, _mm512_set1_epi32(1));
    // Within the margin of the next index, or (above index 0) of this one.
    const __m512 fraction = _mm512_sub_ps(a, k);
    const __mmask16 nearNext = _mm512_cmp_ps_mask(fraction, _mm512_set1_ps(1.0f - P::kMargin), _CMP_GT_OQ);
    const __mmask16 nearThis = _mm512_cmp_ps_mask(fraction, _mm512_set1_ps(P::kMargin), _CMP_LT_OQ) &
                               _mm512_cmp_ps_mask(a, _mm512_set1_ps(1.0f), _CMP_GE_OQ);
    const __mmask16 near = nearNext | nearThis;
    if (near) [[unlikely]]
        return fixNearSteps(s, index, near);
    return index;
}

// The curve output for each lane of v, given a = |v|, negated where v < 0.
// s = |v| + 1 is limited to [1, 2): 2 and above (and inf) map to index 127;
// NaN becomes 1 (index 0), as a NaN clipped to 0.
inline __m512 shape(const Outputs& outputs, __m512 v, __m512 a)
{
    __m512 s = _mm512_add_ps(a, _mm512_set1_ps(1.0f));
    s = _mm512_min_ps(_mm512_max_ps(s, _mm512_set1_ps(1.0f)), _mm512_set1_ps(0x1.fffffep0f));
    const __m512i out = _mm512_castps_si512(outputs.at(indexOf(s)));
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
inline __m512 clipOf(__m512 v)
{
    v = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, v, _CMP_ORD_Q), v);
    return _mm512_max_ps(_mm512_set1_ps(-1.0f), _mm512_min_ps(_mm512_set1_ps(1.0f), v));
}

struct Avx512
{
    using Vec = __m512;
    static constexpr int32_t kWidth = 16;
    static Vec load(const float* p) { return _mm512_loadu_ps(p); }
    static void store(float* p, Vec v) { _mm512_storeu_ps(p, v); }
    static Vec set1(float v) { return _mm512_set1_ps(v); }
    static Vec mul(Vec a, Vec b) { return _mm512_mul_ps(a, b); }
    static Vec add(Vec a, Vec b) { return _mm512_add_ps(a, b); }
    static Vec clip(Vec v) { return clipOf(v); }

    using Shaper = Outputs;
    [[gnu::always_inline]] static void shapeBoth(const Shaper& outputs, Vec& l, Vec& r)
    {
        const __m512 al = absOf(l), ar = absOf(r);
        const __m512 outL = shape(outputs, l, al), outR = shape(outputs, r, ar);
        const __mmask16 silent = quiet(al) & quiet(ar);
        l = _mm512_mask_blend_ps(silent, outL, _mm512_setzero_ps());
        r = _mm512_mask_blend_ps(silent, outR, _mm512_setzero_ps());
    }
};

// Blocks shorter than a vector go to the AVX2 kernel.
void runBlockAvx512(const Settings& s, const ShaperTable& t, const Block& b)
{
    if (b.frames >= Avx512::kWidth)
        runFrames<Avx512>(s, t, b);
    else
        runBlockAvx2(s, t, b);
}

#if defined(DC_KERNEL_SIMDE)
constexpr Kernel kAvx512{"avx512_simde", true, &runKernel<runBlockAvx512>};
#else
constexpr Kernel kAvx512{"avx512", true, &runKernel<runBlockAvx512>};
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
