// The effect's construction, its processing entries and the whole-curve access.
#include "engine/Vivuzudid.h"

namespace {

constexpr float kCutoffMin = 21.533201f;
constexpr float kCutoffMax = 14700.0f;

// The filters run at the host's rate at construction, at least 44.1 kHz.
float filterRateFor(float sampleRate)
{
    return sampleRate < 44000.0f ? 44100.0f : sampleRate;
}

Quillfen::Utility::CExpMapper* makeCutoffMapper()
{
    auto* mapper = new Quillfen::Utility::CExpMapper(kCutoffMin, kCutoffMax, 0.9166667f);
    mapper->setRange(kCutoffMin, kCutoffMax);
    return mapper;
}

// Defaults and the initial curve, point i = 128 - i.
EffectState initialState()
{
    EffectState s;
    for (int i = 0; i < kNumParams; ++i)
        s.params[i] = Parameters::kDefaults[i];
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        s.curve[i] = 128 - i;
    return s;
}

} // namespace

Vivuzudid::Vivuzudid(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), filterSampleRate(filterRateFor(getSampleRate())),
      cutoffMapper(makeCutoffMapper()), shared(initialState()), kernel(&Chain::kernelForNewEffect()),
      programs(new Program[kNumPrograms]), chain(filterSampleRate, *cutoffMapper)
{
    programsAreChunks(true);
    curProgram = 0;
    if (audioMaster)
    {
        setNumInputs(2);
        setNumOutputs(2);
        canProcessReplacing(true);
        setUniqueID(kUniqueID);
    }
    setDefaults();
    // Everything the chain derives is ready before the first block.
    chain.update(shared, getKernel());
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

void Vivuzudid::setCurve(const int32_t* points)
{
    if (!points)
        return;
    int32_t bounded[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        bounded[i] = Parameters::boundedPoint(points[i]);
    shared.writeCurve(bounded);
}

bool Vivuzudid::trySetCurve(const int32_t* points)
{
    if (!points)
        return true;
    int32_t bounded[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        bounded[i] = Parameters::boundedPoint(points[i]);
    return shared.tryWriteCurve(bounded);
}

void Vivuzudid::setLastCurveIndices(VstInt32 left, VstInt32 right)
{
    auto level = [](VstInt32 index) { return ShaperIndex::firstArgumentOf(index) - 1.0f; };
    lastLevelL.store(level(left), std::memory_order_relaxed);
    lastLevelR.store(level(right), std::memory_order_relaxed);
}

void Vivuzudid::getCurve(int32_t* points) const
{
    if (!points)
        return;
    for (int i = 0; i < kCurvePoints; ++i)
        points[i] = shared.point(i);
}

void Vivuzudid::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1])
        return;
    const Chain::Kernel& k = getKernel();
    chain.update(shared, k);
    const Chain::Settings& s = chain.settings();
    Chain::LastLevels last{lastLevelL.load(std::memory_order_relaxed), lastLevelR.load(std::memory_order_relaxed)};
    k.run(s, chain.shaper(), chain.filters(), last, {inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames});
    if (s.shaperOn)
    {
        lastLevelL.store(last.left, std::memory_order_relaxed);
        lastLevelR.store(last.right, std::memory_order_relaxed);
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
