#include "engine/Vivuzudid.h"

#include "engine/ShaperIndex.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

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
        break;
    }
    default:
        break;
    }
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

inline void Vivuzudid::doProcess(float& l, float& r)
{
    l *= preGainL.load(std::memory_order_relaxed);
    r *= preGainR.load(std::memory_order_relaxed);
    // Clip to +-1; a NaN (from NaN input, or inf times a zero pan factor) becomes
    // silence so that it can never lodge in the filters' state.
    l = l > 1.0f ? 1.0f : (l < -1.0f ? -1.0f : (l == l ? l : 0.0f));
    r = r > 1.0f ? 1.0f : (r < -1.0f ? -1.0f : (r == r ? r : 0.0f));

    auto runFilters = [](DovanSVF& fl, DovanSVF& fr, int32_t type, float& a, float& b) {
        fl.step(a);
        fr.step(b);
        switch (type)
        {
        case 3:
            a = fl.high;
            b = fr.high;
            break;
        case 2:
            a = fl.band;
            b = fr.band;
            break;
        case 0:
        case 1:
            a = fl.low;
            b = fr.low;
            break;
        default:
            break;
        }
    };

    if (preFilterOn.load(std::memory_order_relaxed))
        runFilters(filters[0], filters[1], preFilterType.load(std::memory_order_relaxed), l, r);

    if (loadParam(kShaperSw) == 1.0f)
    {
        float outL = 0.0f, outR = 0.0f;
        const double silence = 1e-18;
        if (!(static_cast<double>(std::fabs(l)) <= silence && static_cast<double>(std::fabs(r)) <= silence))
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

void Vivuzudid::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1])
        return;
    float* in0 = inputs[0];
    float* in1 = inputs[1];
    float* out0 = outputs[0];
    float* out1 = outputs[1];
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
