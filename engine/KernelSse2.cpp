// The SSE2 kernel, the x86-64 baseline: without filters four frames of a
// channel at once, with the shaper's bucket entries loaded lane by lane; with
// filters left and right side by side (and both filter pairs pipelined in one
// vector), which the wider kernels share.
#include "engine/ChainKernel.h"
#include "engine/KernelBlocks.h"

#include <emmintrin.h>

#include <cstdint>

namespace Chain {

namespace {

// Lanes 0 and 1 carry left and right in the frame-by-frame code; all four
// lanes carry consecutive frames of one channel in the block-wise code.
struct Lanes
{
    static __m128 abs(__m128 v) { return _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    // NaN becomes 0.
    static __m128 zeroNaN(__m128 v) { return _mm_and_ps(v, _mm_cmpord_ps(v, v)); }
    // v > c ? c : (v < -c ? -c : v), NaN kept.
    static __m128 limit(__m128 v, float c) { return _mm_max_ps(_mm_set1_ps(-c), _mm_min_ps(_mm_set1_ps(c), v)); }
    static __m128 select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
};

// s = |v| + 1 limited to [1, 2): 2 and above (and inf) fall into the last
// bucket, whose index is 127; NaN becomes 1 (index 0), as a NaN clipped to 0.
inline __m128 shaperArgument(__m128 absV)
{
    const __m128 s = _mm_add_ps(absV, _mm_set1_ps(1.0f));
    return _mm_min_ps(_mm_max_ps(s, _mm_set1_ps(1.0f)), _mm_set1_ps(0x1.fffffep0f));
}

// Lanes whose |v| is at most 1e-18, or NaN (a NaN input is clipped to 0).
inline __m128 quietLanes(__m128 absV)
{
    return _mm_cmpngt_ps(absV, _mm_set1_ps(kSilenceLimit));
}

// The curve output for the four lanes of v from the bucket entries, with
// s = shaperArgument(|v|).
inline __m128 shape(const ShaperTable::Entry* table, __m128 v, __m128 s)
{
    const __m128i u = _mm_castps_si128(s);
    // Byte offset of the bucket entry: the top ten mantissa bits times 16.
    const __m128i offset = _mm_and_si128(_mm_srli_epi32(u, 9), _mm_set1_epi32(0x3FF0));
    const char* base = reinterpret_cast<const char*>(table);
    const __m128 e0 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_cvtsi128_si32(offset)));
    const __m128 e1 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 2)));
    const __m128 e2 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 4)));
    const __m128 e3 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 6)));
    const __m128 t0 = _mm_unpacklo_ps(e0, e1), t1 = _mm_unpacklo_ps(e2, e3);
    const __m128 t2 = _mm_unpackhi_ps(e0, e1), t3 = _mm_unpackhi_ps(e2, e3);
    const __m128 below = _mm_movelh_ps(t0, t1);
    const __m128 above = _mm_movehl_ps(t1, t0);
    const __m128 step = _mm_movelh_ps(t2, t3);
    const __m128i up = _mm_cmpgt_epi32(u, _mm_castps_si128(step));
    const __m128 out = Lanes::select(_mm_castsi128_ps(up), above, below);
    // Negated where v < 0 (not for -0.0 or NaN).
    const __m128 sign = _mm_and_ps(_mm_cmplt_ps(v, _mm_setzero_ps()), _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)));
    return _mm_xor_ps(out, sign);
}

// The curve index of one lane's s (bits u) from ShaperIndex's packed buckets.
inline int32_t packedIndex(const int32_t* packed, uint32_t u)
{
    using Buckets = ShaperIndex::Table;
    const int32_t e = packed[(u >> Buckets::kShift) & ((1u << Buckets::kBucketBits) - 1u)];
    return (e >> 16) + (static_cast<int32_t>(u & Buckets::kLowMask) > (e & 0xFFFF) ? 1 : 0);
}

// The shaper on a left/right pair in lanes 0 and 1, from the curve's outputs.
// A frame whose both lanes are quiet passes as silence and keeps the previous
// levels in `last`.
inline __m128 shapePair(const ShaperTable& table, __m128 v, __m128& last)
{
    const __m128 a = Lanes::abs(v);
    const __m128i u = _mm_castps_si128(shaperArgument(a));
    const int32_t i0 = packedIndex(table.packed, static_cast<uint32_t>(_mm_cvtsi128_si32(u)));
    const int32_t i1 = packedIndex(table.packed, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(u, 1))));
    __m128 out = _mm_setr_ps(table.outputs[i0], table.outputs[i1], 0.0f, 0.0f);
    // Negated where v < 0 (not for -0.0 or NaN).
    out = _mm_xor_ps(out, _mm_and_ps(_mm_cmplt_ps(v, _mm_setzero_ps()), _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN))));
    __m128 quiet = quietLanes(a);
    quiet = _mm_and_ps(quiet, _mm_shuffle_ps(quiet, quiet, _MM_SHUFFLE(0, 1, 0, 1)));
    last = Lanes::select(quiet, last, a);
    return _mm_andnot_ps(quiet, out);
}

// A pair of filters (left and right in lanes 0 and 1) with their coefficients.
// Up to four filters side by side, one per lane: left and right in lanes 0
// and 1, and in the pipelined code the post pair in lanes 2 and 3.
struct FilterPair
{
    __m128 low, band, freq, damp, drive;
    // High and notch of the latest pass, also kept in memory: only low and
    // band carry from frame to frame, so only they stay in registers.
    __m128 high, notch;
    alignas(16) float highOut[4], notchOut[4];

    struct Saved
    {
        __m128 low, band, high, notch;
    };
    Saved save() const { return {low, band, _mm_load_ps(highOut), _mm_load_ps(notchOut)}; }

    // Filters for the lanes (null leaves a lane at zero), with their coefficients.
    void load(const DovanSVF* const (&f)[4])
    {
        alignas(16) float v[7][4] = {};
        for (int lane = 0; lane < 4; ++lane)
        {
            if (!f[lane])
                continue;
            v[0][lane] = f[lane]->low;
            v[1][lane] = f[lane]->band;
            v[2][lane] = f[lane]->high;
            v[3][lane] = f[lane]->notch;
            v[4][lane] = f[lane]->freq;
            v[5][lane] = f[lane]->damp;
            v[6][lane] = f[lane]->drive;
        }
        low = _mm_load_ps(v[0]);
        band = _mm_load_ps(v[1]);
        high = _mm_load_ps(v[2]);
        notch = _mm_load_ps(v[3]);
        _mm_store_ps(highOut, high);
        _mm_store_ps(notchOut, notch);
        freq = _mm_load_ps(v[4]);
        damp = _mm_load_ps(v[5]);
        drive = _mm_load_ps(v[6]);
    }

    void load(const DovanSVF& l, const DovanSVF& r) { load({&l, &r, nullptr, nullptr}); }

    void store(DovanSVF* const (&f)[4]) const
    {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], low);
        _mm_store_ps(v[1], band);
        _mm_store_ps(v[2], _mm_load_ps(highOut));
        _mm_store_ps(v[3], _mm_load_ps(notchOut));
        for (int lane = 0; lane < 4; ++lane)
        {
            if (!f[lane])
                continue;
            f[lane]->low = v[0][lane];
            f[lane]->band = v[1][lane];
            f[lane]->high = v[2][lane];
            f[lane]->notch = v[3][lane];
        }
    }

    void store(DovanSVF& l, DovanSVF& r) const { store({&l, &r, nullptr, nullptr}); }

    // Takes the state of the lanes outside mask back from before.
    // DovanSVF::nudge on lanes 0 and 1.
    static __m128 nudge(__m128 v)
    {
        const __m128d up = _mm_add_pd(_mm_cvtps_pd(v), _mm_set1_pd(1e-18));
        return _mm_cvtpd_ps(_mm_sub_pd(_mm_cvtps_pd(_mm_cvtpd_ps(up)), _mm_set1_pd(1e-18)));
    }

    void keep(const Saved& before, __m128 mask)
    {
        low = Lanes::select(mask, low, before.low);
        band = Lanes::select(mask, band, before.band);
        high = Lanes::select(mask, high, before.high);
        notch = Lanes::select(mask, notch, before.notch);
        _mm_store_ps(highOut, high);
        _mm_store_ps(notchOut, notch);
    }

    // DovanSVF::step on the lanes of kLanes (a bit per lane); the others run
    // along and may take the slow path.
    template <int kLanes = 3>
    inline void step(__m128 v)
    {
        const __m128 x = Lanes::limit(v, 0.9999f);
        __m128 lo = low, bp = band, hp, no;
#pragma GCC unroll 2
        for (int pass = 0; pass < 2; ++pass)
        {
            no = _mm_sub_ps(x, _mm_mul_ps(damp, bp));
            lo = _mm_add_ps(_mm_mul_ps(freq, bp), lo);
            hp = _mm_sub_ps(no, lo);
            const __m128 cube = _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(drive, bp), bp), bp);
            bp = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(hp, freq), bp), cube);
            // Where 2^-35 < |band| <= 1 the nudge and the limit change nothing;
            // elsewhere (rare) take both exactly.
            const __m128 a = Lanes::abs(bp);
            const __m128 unchanged = _mm_and_ps(_mm_cmpgt_ps(a, _mm_set1_ps(DovanSVF::kNudgeIdentityAbove)),
                                                _mm_cmple_ps(a, _mm_set1_ps(1.0f)));
            if ((_mm_movemask_ps(unchanged) & kLanes) != kLanes) [[unlikely]]
            {
                bp = Lanes::limit(_mm_movelh_ps(nudge(bp), nudge(_mm_movehl_ps(bp, bp))), 1.0f);
            }
        }
        low = lo;
        band = bp;
        high = hp;
        notch = no;
        _mm_store_ps(highOut, hp);
        _mm_store_ps(notchOut, no);
    }

    __m128 output(FilterOutput which, __m128 v) const
    {
        switch (which)
        {
        case FilterOutput::low:
            return low;
        case FilterOutput::band:
            return band;
        case FilterOutput::high:
            return high;
        case FilterOutput::none:
            break;
        }
        return v;
    }
};

// Frame by frame, left and right side by side: the filters' recursion runs
// from one frame to the next.
template <bool kPre, bool kShaper, bool kPost>
void runFramewise(const Settings& s, const ShaperTable& table, DovanSVF* filters, LastLevels& lastOut, const Block& blk)
{
    FilterPair pre, post;
    if constexpr (kPre)
        pre.load(filters[0], filters[1]);
    if constexpr (kPost)
        post.load(filters[2], filters[3]);
    const __m128 gains = _mm_setr_ps(s.gainL, s.gainR, 0.0f, 0.0f);
    const __m128 postGain = _mm_set1_ps(s.postGain);
    const __m128 wet = _mm_set1_ps(s.wet), dry = _mm_set1_ps(s.dry);
    __m128 last = _mm_setr_ps(lastOut.left, lastOut.right, 0.0f, 0.0f);
    const float* in0 = blk.in0;
    const float* in1 = blk.in1;
    for (int32_t i = 0; i < blk.frames; ++i)
    {
        const __m128 in = _mm_unpacklo_ps(_mm_set_ss(in0[i]), _mm_set_ss(in1[i]));
        __m128 v = Lanes::limit(Lanes::zeroNaN(_mm_mul_ps(in, gains)), 1.0f);
        if constexpr (kPre)
        {
            pre.step(v);
            v = pre.output(s.preOutput, v);
        }
        if constexpr (kShaper)
            v = shapePair(table, v, last);
        if constexpr (kPost)
        {
            post.step(v);
            v = post.output(s.postOutput, v);
        }
        v = _mm_mul_ps(v, postGain);
        if (s.mix)
            v = _mm_add_ps(_mm_mul_ps(v, wet), _mm_mul_ps(in, dry));
        blk.out0[i] = _mm_cvtss_f32(v);
        blk.out1[i] = _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1));
    }
    if constexpr (kPre)
        pre.store(filters[0], filters[1]);
    if constexpr (kPost)
        post.store(filters[2], filters[3]);
    if constexpr (kShaper)
    {
        lastOut.left = _mm_cvtss_f32(last);
        lastOut.right = _mm_cvtss_f32(_mm_shuffle_ps(last, last, 1));
    }
}

// Both filters on: the pre pair of frame k and the post pair of frame k - 3
// step together in one vector, so that the two recursions overlap; the shaper
// of frame k runs while the next frames are filtered, and its result is needed
// only three frames later.
template <bool kShaper>
void runPipelined(const Settings& s, const ShaperTable& table, DovanSVF* filters, LastLevels& lastOut, const Block& blk)
{
    FilterPair f;
    f.load({&filters[0], &filters[1], &filters[2], &filters[3]});
    const __m128 gains = _mm_setr_ps(s.gainL, s.gainR, 0.0f, 0.0f);
    const __m128 postGain = _mm_set1_ps(s.postGain);
    const __m128 wet = _mm_set1_ps(s.wet), dry = _mm_set1_ps(s.dry);
    __m128 last = _mm_setr_ps(lastOut.left, lastOut.right, 0.0f, 0.0f);
    const float* in0 = blk.in0;
    const float* in1 = blk.in1;
    float* out0 = blk.out0;
    float* out1 = blk.out1;
    const int32_t frames = blk.frames;
    // Post-filter inputs of frames k - 3 to k - 1, in lanes 0 and 1 (one
    // register each: a later frame's must not hold up frame k).
    constexpr int32_t kSkew = 3;
    __m128 postIn[kSkew];
    for (auto& p : postIn)
        p = _mm_setzero_ps();

    auto iterate = [&]<bool kPreValid, bool kPostValid>(int32_t k) __attribute__((always_inline)) {
        __m128 in = _mm_setzero_ps(), v = _mm_setzero_ps();
        if constexpr (kPreValid)
        {
            in = _mm_unpacklo_ps(_mm_set_ss(in0[k]), _mm_set_ss(in1[k]));
            v = Lanes::limit(Lanes::zeroNaN(_mm_mul_ps(in, gains)), 1.0f);
        }
        const __m128 x = _mm_movelh_ps(v, postIn[0]);
        if constexpr (kPreValid && kPostValid)
            f.step<15>(x);
        else
        {
            // Lanes without a frame keep their state.
            const FilterPair::Saved before = f.save();
            f.step<15>(x);
            f.keep(before, _mm_castsi128_ps(_mm_setr_epi32(kPreValid ? -1 : 0, kPreValid ? -1 : 0, kPostValid ? -1 : 0,
                                                           kPostValid ? -1 : 0)));
        }
        if constexpr (kPostValid)
        {
            __m128 y = f.output(s.postOutput, x);
            y = _mm_mul_ps(_mm_movehl_ps(y, y), postGain);
            if (s.mix)
            {
                // That frame's outputs are not written yet, so its inputs are intact.
                const __m128 dryIn = _mm_unpacklo_ps(_mm_set_ss(in0[k - kSkew]), _mm_set_ss(in1[k - kSkew]));
                y = _mm_add_ps(_mm_mul_ps(y, wet), _mm_mul_ps(dryIn, dry));
            }
            out0[k - kSkew] = _mm_cvtss_f32(y);
            out1[k - kSkew] = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
        }
        __m128 next = _mm_setzero_ps();
        if constexpr (kPreValid)
        {
            next = f.output(s.preOutput, x);
            if constexpr (kShaper)
                next = shapePair(table, next, last);
        }
        for (int32_t j = 0; j + 1 < kSkew; ++j)
            postIn[j] = postIn[j + 1];
        postIn[kSkew - 1] = next;
    };

    int32_t k = 0;
    for (; k < frames && k < kSkew; ++k)
        iterate.template operator()<true, false>(k);
    for (; k < kSkew; ++k)
        iterate.template operator()<false, false>(k);
    for (; k < frames; ++k)
        iterate.template operator()<true, true>(k);
    for (; k < frames + kSkew; ++k)
        iterate.template operator()<false, true>(k);

    f.store({&filters[0], &filters[1], &filters[2], &filters[3]});
    if constexpr (kShaper)
    {
        lastOut.left = _mm_cvtss_f32(last);
        lastOut.right = _mm_cvtss_f32(_mm_shuffle_ps(last, last, 1));
    }
}

// Without filters: four frames of a channel at once.
struct Sse2
{
    using Vec = __m128;
    static constexpr int32_t kWidth = 4;
    static Vec load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, Vec v) { _mm_storeu_ps(p, v); }
    static Vec set1(float v) { return _mm_set1_ps(v); }
    static Vec mul(Vec a, Vec b) { return _mm_mul_ps(a, b); }
    static Vec add(Vec a, Vec b) { return _mm_add_ps(a, b); }
    static Vec clip(Vec v) { return Lanes::limit(Lanes::zeroNaN(v), 1.0f); }

    struct Shaper
    {
        const ShaperTable::Entry* entries;
        explicit Shaper(const ShaperTable& t) : entries(t.entries) {}
    };
    [[gnu::always_inline]] static void shapeBoth(const Shaper& shaper, Vec& l, Vec& r)
    {
        const __m128 al = Lanes::abs(l), ar = Lanes::abs(r);
        const __m128 outL = shape(shaper.entries, l, shaperArgument(al));
        const __m128 outR = shape(shaper.entries, r, shaperArgument(ar));
        const __m128 quiet = _mm_and_ps(quietLanes(al), quietLanes(ar));
        l = _mm_andnot_ps(quiet, outL);
        r = _mm_andnot_ps(quiet, outR);
    }
};

constexpr Kernel kSse2{"sse2", true, &runKernel<runBlockSse2>};

} // namespace

void runFilteredSse2(const Settings& s, const ShaperTable& table, DovanSVF* filters, LastLevels& last, const Block& blk)
{
    const int kind = (s.preOn ? 4 : 0) | (s.shaperOn ? 2 : 0) | (s.postOn ? 1 : 0);
    switch (kind)
    {
    case 1:
        runFramewise<false, false, true>(s, table, filters, last, blk);
        break;
    case 3:
        runFramewise<false, true, true>(s, table, filters, last, blk);
        break;
    case 4:
        runFramewise<true, false, false>(s, table, filters, last, blk);
        break;
    case 5:
        runPipelined<false>(s, table, filters, last, blk);
        break;
    case 6:
        runFramewise<true, true, false>(s, table, filters, last, blk);
        break;
    case 7:
        runPipelined<true>(s, table, filters, last, blk);
        break;
    default:
        // No filter on: not a filtered route.
        runKernel<runBlockSse2>(s, table, filters, last, blk);
        break;
    }
}

void runBlockSse2(const Settings& s, const ShaperTable& table, const Block& blk)
{
    if (blk.frames >= 4)
    {
        runFrames<Sse2>(s, table, blk);
        return;
    }
    // Fewer frames than a vector: frame by frame; the last indices are
    // the caller's.
    LastLevels unused{0.0f, 0.0f};
    if (s.shaperOn)
        runFramewise<false, true, false>(s, table, nullptr, unused, blk);
    else
        runFramewise<false, false, false>(s, table, nullptr, unused, blk);
}

const Kernel& sse2Kernel()
{
    return kSse2;
}

} // namespace Chain
