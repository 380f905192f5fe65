#include "engine/Vivuzudid.h"

#include "engine/ShaperIndex.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr float kHalfPi = 1.5707964f;
constexpr float kCutoffMin = 21.533201f;
constexpr float kCutoffMax = 14700.0f;

// Truncation toward zero that is defined for every float: NaN gives 0 and
// values beyond the int32 range saturate.
int32_t truncToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// The engine's numeric display: "%7d", cut to 8 characters.
void mylong2string(long long n, char* text)
{
    if (n >= 100000000)
    {
        std::strcpy(text, "Huge!");
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%7lld", n);
    buffer[8] = 0;
    std::strcpy(text, buffer);
}

void copyText(char* dst, const char* src, size_t capacity)
{
    if (!dst)
        return;
    std::strncpy(dst, src, capacity - 1);
    dst[capacity - 1] = 0;
}

const char* const kParamNames[kNumParams] = {"PreGain",  "PrePan",  "PostGain", "ShaperSw", "Wet Dry",
                                              "Pre FlTy", "Pre Cut", "PostFlTy", "Post Cut"};

} // namespace

Vivuzudid::Vivuzudid(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    for (auto& p : params)
        p.store(0.0f, std::memory_order_relaxed);
    filterSampleRate = getSampleRate();
    if (filterSampleRate < 44000.0f)
        filterSampleRate = 44100.0f;
    cutoffMapper = new Quillfen::Utility::CExpMapper(kCutoffMin, kCutoffMax, 0.9166667f);
    cutoffMapper->setRange(kCutoffMin, kCutoffMax);
    programsAreChunks(true);
    programs = new Program[kNumPrograms];
    curProgram = 0;
    if (audioMaster)
    {
        setNumInputs(2);
        setNumOutputs(2);
        canProcessReplacing(true);
        setUniqueID(kUniqueID);
    }
    for (int i = 0; i < kCurvePoints; ++i)
        curve[i].store(128 - i, std::memory_order_relaxed);
    selectedPoint.store(0, std::memory_order_relaxed);
    // Provisional coefficients until the defaults set the cutoffs.
    for (auto& f : filters)
        setCoefficients(f, 5550.0f);
    setDefaults();
}

Vivuzudid::~Vivuzudid()
{
    delete[] programs;
    delete cutoffMapper;
}

void Vivuzudid::resume()
{
    wantEvents(1);
}

void Vivuzudid::setDefaults()
{
    storeParam(kPreGain, 0.5f);
    storeParam(kPrePan, 0.5f);
    storeParam(kPostGain, 0.5f);
    storeParam(kShaperSw, 1.0f);
    storeParam(kPostFilterType, 0.0f);
    storeParam(kPreFilterType, 0.0f);
    storeParam(kPostCutoff, 0.5f);
    storeParam(kPreCutoff, 0.5f);
    setParameter(kPreFilterType, 0.0f);
    for (VstInt32 i : {kPostFilterType, kPreCutoff, kPostCutoff, kPreGain, kPrePan, kPostGain, kShaperSw})
        setParameter(i, loadParam(i));
    setParameter(kWetDry, 1.0f);
}

void Vivuzudid::calcPreGain()
{
    const float g = loadParam(kPreGain);
    const float p = loadParam(kPrePan);
    const float amp = 4.0f * (g * g);
    preGainL.store(amp * std::cos((1.0f - p) * kHalfPi - kHalfPi), std::memory_order_relaxed);
    preGainR.store(amp * std::cos(p * kHalfPi - kHalfPi), std::memory_order_relaxed);
}

void Vivuzudid::setFilterType(VstInt32 index, float value)
{
    const int32_t type = truncToInt32(value * 3.0f + 0.5f);
    if (index == kPreFilterType)
    {
        preFilterType.store(type, std::memory_order_relaxed);
        preFilterOn.store(type != 0, std::memory_order_relaxed);
    }
    else
    {
        postFilterType.store(type, std::memory_order_relaxed);
        postFilterOn.store(type != 0, std::memory_order_relaxed);
    }
}

void Vivuzudid::setCoefficients(DovanSVF& f, float hz)
{
    // 2 * (1 - 0.15^0.25): the root and the difference in double precision,
    // the difference rounded to float, then doubled.
    static const float kDamping = static_cast<float>(1.0 - std::pow(static_cast<double>(0.15f), 0.25)) * 2.0f;
    const float upper = 0.25f * filterSampleRate;
    float fc = hz > upper ? upper : hz;
    fc = fc < 31.0f ? 31.0f : fc;
    f.cutoff.store(fc, std::memory_order_relaxed);
    const float w = fc / (f.oversampling * filterSampleRate);
    const float x = w > 0.25f ? 0.7853981f : w * 3.1415925f;
    // 2 sin(x), approximated.
    const float x2 = x * x;
    const float freq = ((x2 * 0.00761f - 0.16605f) * x2 + 1.0f) * x * 2.0f;
    float damp = kDamping < 2.0f ? kDamping : 2.0f;
    const float alt = 2.0f / freq - 0.5f * freq;
    damp = damp < alt ? damp : alt;
    f.freq.store(freq, std::memory_order_relaxed);
    f.damp.store(damp, std::memory_order_relaxed);
}

void Vivuzudid::setFilterCutoffs()
{
    const float pre = cutoffMapper->setAndGetValue(loadParam(kPreCutoff));
    preCutoffHz.store(pre, std::memory_order_relaxed);
    setCoefficients(filters[0], pre);
    setCoefficients(filters[1], pre);
    const float post = cutoffMapper->setAndGetValue(loadParam(kPostCutoff));
    postCutoffHz.store(post, std::memory_order_relaxed);
    setCoefficients(filters[2], post);
    setCoefficients(filters[3], post);
}

void Vivuzudid::setParameter(VstInt32 index, float value)
{
    if (!std::isfinite(value))
        return;
    switch (index)
    {
    case kPreGain:
    case kPrePan:
        storeParam(index, value);
        calcPreGain();
        break;
    case kPostGain:
    case kWetDry:
        storeParam(index, value);
        break;
    case kShaperSw:
        storeParam(index, value > 1.0f ? 1.0f : value);
        break;
    case kPreFilterType:
    case kPostFilterType:
        storeParam(index, value);
        setFilterType(index, value);
        setFilterCutoffs();
        break;
    case kPreCutoff:
    case kPostCutoff:
        storeParam(index, value);
        setFilterCutoffs();
        break;
    case kCurvePointSelect:
        selectedPoint.store(truncToInt32(value), std::memory_order_relaxed);
        break;
    case kCurvePointValue:
    {
        int32_t point = selectedPoint.load(std::memory_order_relaxed);
        if (point < 0 || point >= kCurvePoints)
        {
            point = 0;
            selectedPoint.store(0, std::memory_order_relaxed);
        }
        // Points hold what a chunk can store: the int32 range.
        curve[point].store(truncToInt32(value), std::memory_order_relaxed);
        curveChanges.fetch_add(1, std::memory_order_release);
        break;
    }
    default:
        break;
    }
}

void Vivuzudid::setCurve(const int32_t* points)
{
    if (!points)
        return;
    for (int i = 0; i < kCurvePoints; ++i)
        curve[i].store(points[i] < 0 ? 0 : (points[i] > 128 ? 128 : points[i]), std::memory_order_relaxed);
    curveChanges.fetch_add(1, std::memory_order_release);
}

void Vivuzudid::getCurve(int32_t* points) const
{
    if (!points)
        return;
    for (int i = 0; i < kCurvePoints; ++i)
        points[i] = static_cast<int32_t>(curve[i].load(std::memory_order_relaxed));
}

float Vivuzudid::getParameter(VstInt32 index)
{
    if (index >= 0 && index < kNumParams)
        return loadParam(index);
    if (index == kCurvePointValue)
    {
        int32_t point = selectedPoint.load(std::memory_order_relaxed);
        if (point < 0 || point >= kCurvePoints)
            point = 0;
        return static_cast<float>(curve[point].load(std::memory_order_relaxed));
    }
    return 0.0f;
}

void Vivuzudid::setProgram(VstInt32 program)
{
    curProgram = program;
}

void Vivuzudid::setProgramName(char* name)
{
    if (name)
        copyText(programs[curProgram].name, name, sizeof programs[curProgram].name);
}

void Vivuzudid::getProgramName(char* name)
{
    if (!name)
        return;
    const char* stored = programs[curProgram].name;
    if (std::strcmp(stored, "Init") == 0)
    {
        char numbered[48];
        std::snprintf(numbered, sizeof numbered, "%s %d", stored, curProgram + 1);
        copyText(name, numbered, kVstMaxProgNameLen);
    }
    else
        copyText(name, stored, kVstMaxProgNameLen);
}

bool Vivuzudid::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
    if (index != 0 || !text)
        return false;
    copyText(text, programs[0].name, kVstMaxProgNameLen);
    return true;
}

void Vivuzudid::getParameterName(VstInt32 index, char* text)
{
    if (text && index >= 0 && index < kNumParams)
        std::strcpy(text, kParamNames[index]);
}

void Vivuzudid::getParameterLabel(VstInt32 index, char* label)
{
    if (!label)
        return;
    switch (index)
    {
    case kPreGain:
    case kPrePan:
    case kPostGain:
        std::strcpy(label, "amt");
        break;
    case kShaperSw:
        std::strcpy(label, " ");
        break;
    case kWetDry:
        std::strcpy(label, " % ");
        break;
    default:
        break;
    }
}

void Vivuzudid::getParameterDisplay(VstInt32 index, char* text)
{
    if (!text)
        return;
    auto percent = [](float v) { return static_cast<long long>(truncToInt32(static_cast<double>(v) * 100.0)); };
    switch (index)
    {
    case kPreGain:
    case kPrePan:
    case kPostGain:
        mylong2string(percent(loadParam(index)) - 50, text);
        break;
    case kWetDry:
        mylong2string(percent(loadParam(index)), text);
        break;
    case kShaperSw:
        std::strcpy(text, loadParam(index) >= 1.0f ? "on" : "off");
        break;
    case kPreFilterType:
    case kPostFilterType:
    {
        const bool on = (index == kPreFilterType ? preFilterOn : postFilterOn).load(std::memory_order_relaxed);
        const int32_t type = (index == kPreFilterType ? preFilterType : postFilterType).load(std::memory_order_relaxed);
        if (!on)
            std::strcpy(text, " off");
        else if (type == 3)
            std::strcpy(text, " HIPASS");
        else if (type == 2)
            std::strcpy(text, " BANDPASS");
        else if (type == 0 || type == 1)
            std::strcpy(text, " LOWPASS");
        break;
    }
    case kPreCutoff:
    case kPostCutoff:
        mylong2string(truncToInt32(cutoffMapper->setAndGetValue(loadParam(index))), text);
        break;
    default:
        break;
    }
}

VstInt32 Vivuzudid::processEvents(VstEvents* events)
{
    if (!events)
        return 1;
    // The list holds numEvents entries although the record declares two: index
    // through a pointer so entries past the second are not out of bounds.
    VstEvent* const* list = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const auto status = static_cast<unsigned char>(midi->midiData[0]);
        if ((status & 0xF0) != 0xB0)
            continue;
        // MIDI data bytes carry seven bits.
        const int controller = static_cast<unsigned char>(midi->midiData[1]) & 0x7F;
        const int value = static_cast<unsigned char>(midi->midiData[2]) & 0x7F;
        const float amount = static_cast<float>(value / 127.0);
        if (controller == 70)
            setParameter(kPreGain, amount);
        else if (controller == 71)
            setParameter(kPrePan, amount);
        else if (controller == 72)
            setParameter(kPostGain, amount);
    }
    return 1;
}

bool Vivuzudid::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    if (index < 0 || index > 1 || !properties)
        return false;
    std::snprintf(properties->label, sizeof properties->label, "Devo %1d", index + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool Vivuzudid::getEffectName(char* name)
{
    copyText(name, "Dithercrunch", kVstMaxEffectNameLen);
    return true;
}

bool Vivuzudid::getVendorString(char* text)
{
    copyText(text, "Tarnby Audio", kVstMaxVendorStrLen);
    return true;
}

bool Vivuzudid::getProductString(char* text)
{
    copyText(text, "Dithercrunch", kVstMaxProductStrLen);
    return true;
}

VstInt32 Vivuzudid::getVendorVersion()
{
    return 1000;
}

VstInt32 Vivuzudid::canDo(char* text)
{
    if (!text)
        return -1;
    for (const char* s : {"receiveVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert", "2in2out", "1in2out"})
        if (std::strcmp(text, s) == 0)
            return 1;
    return -1;
}

VstPlugCategory Vivuzudid::getPlugCategory()
{
    return kPlugCategEffect;
}

// ---- Signal chain ----

namespace {

// Clip to +-1; a NaN (from NaN input, or inf times a zero pan factor) becomes
// silence so that it can never lodge in the filters' state.
inline float clipInput(float v)
{
    return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : (v == v ? v : 0.0f));
}

// The largest float that is at most 1e-18 once widened to double: for floats,
// |v| <= it is the same test as (double)|v| <= 1e-18.
constexpr float silenceLimit()
{
    float f = static_cast<float>(1e-18);
    if (static_cast<double>(f) > 1e-18)
        f = std::bit_cast<float>(std::bit_cast<uint32_t>(f) - 1u);
    return f;
}
constexpr float kSilenceLimit = silenceLimit();
static_assert(static_cast<double>(kSilenceLimit) <= 1e-18 &&
              static_cast<double>(std::bit_cast<float>(std::bit_cast<uint32_t>(kSilenceLimit) + 1u)) > 1e-18);

inline bool silent(float l, float r)
{
    return static_cast<double>(std::fabs(l)) <= 1e-18 && static_cast<double>(std::fabs(r)) <= 1e-18;
}

// Output choice of a filter pair by its type.
enum class FilterOutput
{
    low,
    band,
    high,
    none,
};

FilterOutput outputOf(int32_t type)
{
    switch (type)
    {
    case 3:
        return FilterOutput::high;
    case 2:
        return FilterOutput::band;
    case 0:
    case 1:
        return FilterOutput::low;
    default:
        return FilterOutput::none;
    }
}

} // namespace

// Everything the chain reads, taken once per block.
struct Vivuzudid::BlockSettings
{
    float gainL, gainR, postGain, wet, dry;
    bool mix, preOn, postOn, shaperOn;
    FilterOutput preOutput, postOutput;
    float freq[4], damp[4];
};

inline void Vivuzudid::doProcess(float& l, float& r)
{
    l = clipInput(l * preGainL.load(std::memory_order_relaxed));
    r = clipInput(r * preGainR.load(std::memory_order_relaxed));

    auto runFilters = [](DovanSVF& fl, DovanSVF& fr, int32_t type, float& a, float& b) {
        fl.step(a);
        fr.step(b);
        switch (outputOf(type))
        {
        case FilterOutput::high:
            a = fl.high;
            b = fr.high;
            break;
        case FilterOutput::band:
            a = fl.band;
            b = fr.band;
            break;
        case FilterOutput::low:
            a = fl.low;
            b = fr.low;
            break;
        case FilterOutput::none:
            break;
        }
    };

    if (preFilterOn.load(std::memory_order_relaxed))
        runFilters(filters[0], filters[1], preFilterType.load(std::memory_order_relaxed), l, r);

    if (loadParam(kShaperSw) == 1.0f)
    {
        float outL = 0.0f, outR = 0.0f;
        if (!silent(l, r))
        {
            const int32_t il = ShaperIndex::indexOf(std::fabs(l) + 1.0f);
            const int32_t ir = ShaperIndex::indexOf(std::fabs(r) + 1.0f);
            lastIndexL.store(il, std::memory_order_relaxed);
            lastIndexR.store(ir, std::memory_order_relaxed);
            outL = static_cast<float>(128 - curve[il].load(std::memory_order_relaxed)) * 0.0078125f;
            outR = static_cast<float>(128 - curve[ir].load(std::memory_order_relaxed)) * 0.0078125f;
            if (l < 0.0f)
                outL = -outL;
            if (r < 0.0f)
                outR = -outR;
        }
        l = outL;
        r = outR;
    }

    if (postFilterOn.load(std::memory_order_relaxed))
        runFilters(filters[2], filters[3], postFilterType.load(std::memory_order_relaxed), l, r);

    const float post = loadParam(kPostGain);
    l *= post;
    r *= post;
}

void Vivuzudid::refreshShaperTable()
{
    bool same = shaperTableBuilt;
    for (int i = 0; i < kCurvePoints; ++i)
    {
        const int64_t c = curve[i].load(std::memory_order_relaxed);
        same = same && c == shaperTableCurve[i];
        shaperTableCurve[i] = c;
    }
    if (same)
        return;
    float out[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        out[i] = static_cast<float>(128 - shaperTableCurve[i]) * 0.0078125f;
    const ShaperIndex::Table& t = ShaperIndex::table();
    for (int b = 0; b < kShaperEntries; ++b)
    {
        const int32_t below = t.base[b];
        const int32_t above = below < 127 ? below + 1 : 127;
        shaperTable[b].below = out[below];
        shaperTable[b].above = out[above];
        shaperTable[b].stepMinus1 =
            t.step[b] == 0xFFFFFFFFu ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(t.step[b] - 1u);
        shaperTable[b].index = below;
    }
    shaperTableBuilt = true;
}

#if defined(__SSE2__)

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

// The curve output for the first kLanes lanes of v, with s = shaperArgument(|v|),
// and the curve index used.
template <int kLanes>
inline __m128 shape(const Vivuzudid::ShaperEntry* table, __m128 v, __m128 s, __m128i& index)
{
    const __m128i u = _mm_castps_si128(s);
    // Byte offset of the bucket entry: the top ten mantissa bits times 16.
    const __m128i offset = _mm_and_si128(_mm_srli_epi32(u, 9), _mm_set1_epi32(0x3FF0));
    const char* base = reinterpret_cast<const char*>(table);
    const __m128 e0 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_cvtsi128_si32(offset)));
    const __m128 e1 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 2)));
    __m128 below, above, step, first;
    if constexpr (kLanes == 4)
    {
        const __m128 e2 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 4)));
        const __m128 e3 = _mm_load_ps(reinterpret_cast<const float*>(base + _mm_extract_epi16(offset, 6)));
        const __m128 t0 = _mm_unpacklo_ps(e0, e1), t1 = _mm_unpacklo_ps(e2, e3);
        const __m128 t2 = _mm_unpackhi_ps(e0, e1), t3 = _mm_unpackhi_ps(e2, e3);
        below = _mm_movelh_ps(t0, t1);
        above = _mm_movehl_ps(t1, t0);
        step = _mm_movelh_ps(t2, t3);
        first = _mm_movehl_ps(t3, t2);
    }
    else
    {
        static_assert(kLanes == 2);
        below = _mm_unpacklo_ps(e0, e1);
        above = _mm_movehl_ps(below, below);
        step = _mm_unpackhi_ps(e0, e1);
        first = _mm_movehl_ps(step, step);
    }
    const __m128i up = _mm_cmpgt_epi32(u, _mm_castps_si128(step));
    index = _mm_sub_epi32(_mm_castps_si128(first), up);
    const __m128 out = Lanes::select(_mm_castsi128_ps(up), above, below);
    // Negated where v < 0 (not for -0.0 or NaN).
    const __m128 sign = _mm_and_ps(_mm_cmplt_ps(v, _mm_setzero_ps()), _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)));
    return _mm_xor_ps(out, sign);
}

// The shaper on a left/right pair in lanes 0 and 1. A frame whose both lanes
// are quiet passes as silence and keeps the previous curve indices in `last`.
inline __m128 shapePair(const Vivuzudid::ShaperEntry* table, __m128 v, __m128i& last)
{
    const __m128 a = Lanes::abs(v);
    __m128i index;
    const __m128 out = shape<2>(table, v, shaperArgument(a), index);
    __m128 quiet = quietLanes(a);
    quiet = _mm_and_ps(quiet, _mm_shuffle_ps(quiet, quiet, _MM_SHUFFLE(0, 1, 0, 1)));
    const __m128i keep = _mm_castps_si128(quiet);
    last = _mm_or_si128(_mm_and_si128(keep, last), _mm_andnot_si128(keep, index));
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

    // Filters for the lanes (null leaves a lane at zero) with their coefficients.
    void load(const DovanSVF* const (&f)[4], const float (&freqs)[4], const float (&damps)[4])
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
            v[4][lane] = freqs[lane];
            v[5][lane] = damps[lane];
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

    void load(const DovanSVF& l, const DovanSVF& r, float freqL, float freqR, float dampL, float dampR)
    {
        load({&l, &r, nullptr, nullptr}, {freqL, freqR, 0.0f, 0.0f}, {dampL, dampR, 0.0f, 0.0f});
    }

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

} // namespace

// Frame by frame, left and right side by side: the filters' recursion runs
// from one frame to the next.
template <bool kPre, bool kShaper, bool kPost>
void Vivuzudid::runFramewise(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                             VstInt32 frames, bool storeLastIndices)
{
    FilterPair pre, post;
    if constexpr (kPre)
        pre.load(filters[0], filters[1], b.freq[0], b.freq[1], b.damp[0], b.damp[1]);
    if constexpr (kPost)
        post.load(filters[2], filters[3], b.freq[2], b.freq[3], b.damp[2], b.damp[3]);
    const __m128 gains = _mm_setr_ps(b.gainL, b.gainR, 0.0f, 0.0f);
    const __m128 postGain = _mm_set1_ps(b.postGain);
    const __m128 wet = _mm_set1_ps(b.wet), dry = _mm_set1_ps(b.dry);
    __m128i last = _mm_setr_epi32(lastIndexL.load(std::memory_order_relaxed), lastIndexR.load(std::memory_order_relaxed), 0, 0);
    for (VstInt32 i = 0; i < frames; ++i)
    {
        const __m128 in = _mm_unpacklo_ps(_mm_set_ss(in0[i]), _mm_set_ss(in1[i]));
        __m128 v = Lanes::limit(Lanes::zeroNaN(_mm_mul_ps(in, gains)), 1.0f);
        if constexpr (kPre)
        {
            pre.step(v);
            v = pre.output(b.preOutput, v);
        }
        if constexpr (kShaper)
            v = shapePair(shaperTable, v, last);
        if constexpr (kPost)
        {
            post.step(v);
            v = post.output(b.postOutput, v);
        }
        v = _mm_mul_ps(v, postGain);
        if (b.mix)
            v = _mm_add_ps(_mm_mul_ps(v, wet), _mm_mul_ps(in, dry));
        out0[i] = _mm_cvtss_f32(v);
        out1[i] = _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1));
    }
    if constexpr (kPre)
        pre.store(filters[0], filters[1]);
    if constexpr (kPost)
        post.store(filters[2], filters[3]);
    if (kShaper && storeLastIndices)
    {
        lastIndexL.store(_mm_cvtsi128_si32(last), std::memory_order_relaxed);
        lastIndexR.store(_mm_cvtsi128_si32(_mm_shuffle_epi32(last, 1)), std::memory_order_relaxed);
    }
}

// Both filters on: the pre pair of frame k and the post pair of frame k - 3
// step together in one vector, so that the two recursions overlap; the shaper
// of frame k runs while the next frames are filtered, and its result is needed
// only three frames later.
template <bool kShaper>
void Vivuzudid::runPipelined(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                             VstInt32 frames)
{
    FilterPair f;
    f.load({&filters[0], &filters[1], &filters[2], &filters[3]}, b.freq, b.damp);
    const __m128 gains = _mm_setr_ps(b.gainL, b.gainR, 0.0f, 0.0f);
    const __m128 postGain = _mm_set1_ps(b.postGain);
    const __m128 wet = _mm_set1_ps(b.wet), dry = _mm_set1_ps(b.dry);
    __m128i last = _mm_setr_epi32(lastIndexL.load(std::memory_order_relaxed), lastIndexR.load(std::memory_order_relaxed), 0, 0);
    // Post-filter inputs of frames k - 3 to k - 1, in lanes 0 and 1 (one
    // register each: a later frame's must not hold up frame k).
    constexpr VstInt32 kSkew = 3;
    __m128 postIn[kSkew];
    for (auto& p : postIn)
        p = _mm_setzero_ps();

    auto iterate = [&]<bool kPreValid, bool kPostValid>(VstInt32 k) __attribute__((always_inline)) {
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
            __m128 y = f.output(b.postOutput, x);
            y = _mm_mul_ps(_mm_movehl_ps(y, y), postGain);
            if (b.mix)
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
            next = f.output(b.preOutput, x);
            if constexpr (kShaper)
                next = shapePair(shaperTable, next, last);
        }
        for (VstInt32 j = 0; j + 1 < kSkew; ++j)
            postIn[j] = postIn[j + 1];
        postIn[kSkew - 1] = next;
    };

    VstInt32 k = 0;
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
        lastIndexL.store(_mm_cvtsi128_si32(last), std::memory_order_relaxed);
        lastIndexR.store(_mm_cvtsi128_si32(_mm_shuffle_epi32(last, 1)), std::memory_order_relaxed);
    }
}

// Without filters no frame depends on another: four frames of a channel at once.
void Vivuzudid::runBlockwise(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                             VstInt32 frames)
{
    if (b.shaperOn)
    {
        // The last curve indices come from the latest frame that is not silent;
        // found before any output is written, since the buffers may be shared.
        for (VstInt32 i = frames - 1; i >= 0; --i)
        {
            const float l = clipInput(in0[i] * b.gainL), r = clipInput(in1[i] * b.gainR);
            if (!silent(l, r))
            {
                lastIndexL.store(ShaperIndex::indexOf(std::fabs(l) + 1.0f), std::memory_order_relaxed);
                lastIndexR.store(ShaperIndex::indexOf(std::fabs(r) + 1.0f), std::memory_order_relaxed);
                break;
            }
        }
    }
    const __m128 gainL = _mm_set1_ps(b.gainL), gainR = _mm_set1_ps(b.gainR);
    const __m128 postGain = _mm_set1_ps(b.postGain);
    const __m128 wet = _mm_set1_ps(b.wet), dry = _mm_set1_ps(b.dry);
    VstInt32 i = 0;
    for (; i + 4 <= frames; i += 4)
    {
        const __m128 inL = _mm_loadu_ps(in0 + i), inR = _mm_loadu_ps(in1 + i);
        __m128 l = _mm_mul_ps(inL, gainL);
        __m128 r = _mm_mul_ps(inR, gainR);
        if (b.shaperOn)
        {
            // The clip to +-1 (NaN to 0) changes neither sign, silence nor index.
            const __m128 al = Lanes::abs(l), ar = Lanes::abs(r);
            __m128i index;
            const __m128 outL = shape<4>(shaperTable, l, shaperArgument(al), index);
            const __m128 outR = shape<4>(shaperTable, r, shaperArgument(ar), index);
            const __m128 quiet = _mm_and_ps(quietLanes(al), quietLanes(ar));
            l = _mm_andnot_ps(quiet, outL);
            r = _mm_andnot_ps(quiet, outR);
        }
        else
        {
            l = Lanes::limit(Lanes::zeroNaN(l), 1.0f);
            r = Lanes::limit(Lanes::zeroNaN(r), 1.0f);
        }
        l = _mm_mul_ps(l, postGain);
        r = _mm_mul_ps(r, postGain);
        if (b.mix)
        {
            l = _mm_add_ps(_mm_mul_ps(l, wet), _mm_mul_ps(inL, dry));
            r = _mm_add_ps(_mm_mul_ps(r, wet), _mm_mul_ps(inR, dry));
        }
        _mm_storeu_ps(out0 + i, l);
        _mm_storeu_ps(out1 + i, r);
    }
    // The last indices are already set: the tail leaves them.
    if (i < frames && b.shaperOn)
        runFramewise<false, true, false>(b, in0 + i, in1 + i, out0 + i, out1 + i, frames - i, false);
    else if (i < frames)
        runFramewise<false, false, false>(b, in0 + i, in1 + i, out0 + i, out1 + i, frames - i, false);
}

#endif // __SSE2__

void Vivuzudid::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1])
        return;
    float* in0 = inputs[0];
    float* in1 = inputs[1];
    float* out0 = outputs[0];
    float* out1 = outputs[1];
#if defined(__SSE2__)
    // Parameters are read once per block: a change from another thread takes
    // effect at the next block.
    BlockSettings b;
    b.gainL = preGainL.load(std::memory_order_relaxed);
    b.gainR = preGainR.load(std::memory_order_relaxed);
    b.postGain = loadParam(kPostGain);
    b.wet = loadParam(kWetDry);
    b.dry = 1.0f - b.wet;
    b.mix = b.wet != 1.0f;
    b.preOn = preFilterOn.load(std::memory_order_relaxed);
    b.postOn = postFilterOn.load(std::memory_order_relaxed);
    b.shaperOn = loadParam(kShaperSw) == 1.0f;
    b.preOutput = outputOf(preFilterType.load(std::memory_order_relaxed));
    b.postOutput = outputOf(postFilterType.load(std::memory_order_relaxed));
    for (int f = 0; f < 4; ++f)
    {
        b.freq[f] = filters[f].freq.load(std::memory_order_relaxed);
        b.damp[f] = filters[f].damp.load(std::memory_order_relaxed);
    }
    if (b.shaperOn)
        refreshShaperTable();
    const int kind = (b.preOn ? 4 : 0) | (b.shaperOn ? 2 : 0) | (b.postOn ? 1 : 0);
    switch (kind)
    {
    case 0:
    case 2:
        runBlockwise(b, in0, in1, out0, out1, sampleFrames);
        break;
    case 1:
        runFramewise<false, false, true>(b, in0, in1, out0, out1, sampleFrames);
        break;
    case 3:
        runFramewise<false, true, true>(b, in0, in1, out0, out1, sampleFrames);
        break;
    case 4:
        runFramewise<true, false, false>(b, in0, in1, out0, out1, sampleFrames);
        break;
    case 5:
        runPipelined<false>(b, in0, in1, out0, out1, sampleFrames);
        break;
    case 6:
        runFramewise<true, true, false>(b, in0, in1, out0, out1, sampleFrames);
        break;
    default:
        runPipelined<true>(b, in0, in1, out0, out1, sampleFrames);
        break;
    }
#else
    const float dry = 1.0f - loadParam(kWetDry);
    for (VstInt32 i = 0; i < sampleFrames; ++i)
    {
        float l = in0[i];
        float r = in1[i];
        doProcess(l, r);
        const float w = loadParam(kWetDry);
        if (w != 1.0f)
        {
            l = l * w + in0[i] * dry;
            r = r * w + in1[i] * dry;
        }
        out0[i] = l;
        out1[i] = r;
    }
#endif
}

void Vivuzudid::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

void Vivuzudid::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

// ---- State chunk ----

VstInt32 Vivuzudid::getChunk(void** data, bool /*isPreset*/)
{
    if (!data)
        return 0;
    using namespace StateChunk;
    unsigned char* c = chunkBuffer.data();
    chunkBuffer.fill(0);
    write(c, kVersion, kWrittenVersion);
    write(c, StateChunk::kPreGain, loadParam(::kPreGain));
    write(c, StateChunk::kPrePan, loadParam(::kPrePan));
    write(c, StateChunk::kPostGain, loadParam(::kPostGain));
    write(c, StateChunk::kShaperSw, loadParam(::kShaperSw));
    write(c, StateChunk::kWetDry, loadParam(::kWetDry));
    for (int i = 0; i < kCurvePoints; ++i)
        write(c, kCurve + 4 * i, static_cast<int32_t>(curve[i].load(std::memory_order_relaxed)));
    write(c, StateChunk::kPreFilterType, loadParam(::kPreFilterType));
    write(c, StateChunk::kPostFilterType, loadParam(::kPostFilterType));
    write(c, StateChunk::kPreCutoff, loadParam(::kPreCutoff));
    write(c, StateChunk::kPostCutoff, loadParam(::kPostCutoff));
    *data = c;
    return static_cast<VstInt32>(kSize);
}

VstInt32 Vivuzudid::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/)
{
    using namespace StateChunk;
    const auto* c = static_cast<const unsigned char*>(data);
    const size_t size = (c && byteSize > 0) ? static_cast<size_t>(byteSize) : 0;
    // A block too short for what its version promises is damaged: refuse it
    // and keep the current state rather than load part of it.
    if (size < 4)
        return 0;
    const float version = read<float>(c, kVersion);
    if (understood(version) && size < requiredSize(version))
        return 0;

    setDefaults();
    if (understood(version))
    {
        setParameter(::kPreGain, read<float>(c, StateChunk::kPreGain));
        setParameter(::kPrePan, read<float>(c, StateChunk::kPrePan));
        setParameter(::kPostGain, read<float>(c, StateChunk::kPostGain));
        setParameter(::kShaperSw, read<float>(c, StateChunk::kShaperSw));
        if (version >= kWetDryVersion)
            setParameter(::kWetDry, read<float>(c, StateChunk::kWetDry));
        for (int i = 0; i < kCurvePoints; ++i)
            curve[i].store(read<int32_t>(c, kCurve + 4 * i), std::memory_order_relaxed);
        curveChanges.fetch_add(1, std::memory_order_release);
        if (version >= kFilterVersion)
        {
            const float preType = read<float>(c, StateChunk::kPreFilterType);
            const float postType = read<float>(c, StateChunk::kPostFilterType);
            const float preCut = read<float>(c, StateChunk::kPreCutoff);
            const float postCut = read<float>(c, StateChunk::kPostCutoff);
            // Both cutoffs are in place before the first coefficient update.
            for (auto [i, v] : {std::pair{::kPreFilterType, preType}, std::pair{::kPostFilterType, postType},
                                std::pair{::kPreCutoff, preCut}, std::pair{::kPostCutoff, postCut}})
                if (std::isfinite(v))
                    storeParam(i, v);
            setParameter(::kPreFilterType, loadParam(::kPreFilterType));
            setParameter(::kPostFilterType, loadParam(::kPostFilterType));
            setParameter(::kPreCutoff, loadParam(::kPreCutoff));
            setParameter(::kPostCutoff, loadParam(::kPostCutoff));
        }
    }
    setParameter(kEditorRefresh, 1.0f);
    return 1;
}
