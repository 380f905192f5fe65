// The Dithercrunch effect: pre-gain and pan, pre filter, hand-drawn curve
// shaper, post filter, post gain and wet/dry, with its parameters, programs,
// MIDI mapping and state chunk.
#pragma once

#include "engine/CExpMapper.h"
#include "engine/DovanSVF.h"
#include "engine/Program.h"
#include "engine/ShaperIndex.h"
#include "engine/StateChunk.h"
#include "frame/AudioEffectX.h"

#include <array>
#include <atomic>
#include <cstdint>

enum VivuzudidParameter : VstInt32
{
    kPreGain = 0,
    kPrePan,
    kPostGain,
    kShaperSw,
    kWetDry,
    kPreFilterType,
    kPreCutoff,
    kPostFilterType,
    kPostCutoff,
    kNumParams,
    kCurvePointSelect = 10,
    kCurvePointValue = 11,
    kEditorRefresh = 13,
};

class Vivuzudid : public AudioEffectX
{
public:
    static constexpr VstInt32 kNumPrograms = 1;
    static constexpr int kCurvePoints = 128;
    static constexpr VstInt32 kUniqueID = CCONST('K', 'w', 'Q', 'z');

    explicit Vivuzudid(audioMasterCallback audioMaster);
    ~Vivuzudid() override;

    void suspend() override {}
    void resume() override;
    // [audio thread]
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // [any thread] Non-finite values are ignored: they would only turn into NaN audio.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    VstPlugCategory getPlugCategory() override;

    virtual void setDefaults();

    // [any thread] The curve index the shaper used last for a channel (0 left,
    // 1 right). Virtual so that a stand-in for the effect in another process
    // can show the indices it is told.
    virtual VstInt32 getLastCurveIndex(VstInt32 channel) const
    {
        return (channel == 1 ? lastIndexR : lastIndexL).load(std::memory_order_relaxed);
    }
    // [any thread] The whole curve at once, each point bounded to 0..128 (the
    // range the shaper's output covers).
    void setCurve(const int32_t* points);
    void getCurve(int32_t* points) const;
    // [any thread] Grows with every change of the curve: a reader that kept the
    // last count knows whether to read the points again.
    uint32_t getCurveChangeCount() const { return curveChanges.load(std::memory_order_acquire); }
    // The filter sample rate fixed at construction.
    float getFilterSampleRate() const { return filterSampleRate; }
    const DovanSVF& filter(int which) const { return filters[which]; }

    // The shaper's lookup per bucket of s = |v| + 1 (see ShaperIndex): the
    // curve outputs below and above the bucket's step, the bits of s minus one
    // from which the upper one applies, and the index below the step.
    struct alignas(16) ShaperEntry
    {
        float below;
        float above;
        int32_t stepMinus1;
        int32_t index;
    };
    static constexpr int kShaperEntries = 1 << ShaperIndex::Table::kBucketBits;

protected:
    struct BlockSettings;
    // [audio thread] One frame of the chain on l and r.
    inline void doProcess(float& l, float& r);
    void processBlock(float** inputs, float** outputs, VstInt32 sampleFrames);
    // [audio thread] Rebuilds the shaper lookup if a curve point changed since.
    void refreshShaperTable();
    // [audio thread] The block by route: one filter pair or none side by side,
    // both pairs pipelined, no filters four frames at once.
    template <bool kPre, bool kShaper, bool kPost>
    void runFramewise(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                      VstInt32 frames, bool storeLastIndices = true);
    template <bool kShaper>
    void runPipelined(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                      VstInt32 frames);
    void runBlockwise(const BlockSettings& b, const float* in0, const float* in1, float* out0, float* out1,
                      VstInt32 frames);
    void calcPreGain();
    void setFilterCutoffs();
    void setCoefficients(DovanSVF& filter, float hz);
    void setFilterType(VstInt32 typeIndex, float value);

    float loadParam(VstInt32 i) const { return params[i].load(std::memory_order_relaxed); }
    void storeParam(VstInt32 i, float v) { params[i].store(v, std::memory_order_relaxed); }

    std::array<std::atomic<float>, kNumParams> params;
    std::atomic<float> preGainL{0.0f};
    std::atomic<float> preGainR{0.0f};
    std::atomic<bool> preFilterOn{false};
    std::atomic<int32_t> preFilterType{0};
    std::atomic<bool> postFilterOn{false};
    std::atomic<int32_t> postFilterType{0};
    // Pre-left, pre-right, post-left, post-right.
    DovanSVF filters[4];
    float filterSampleRate;
    std::atomic<float> preCutoffHz{0.0f};
    std::atomic<float> postCutoffHz{0.0f};
    Quillfen::Utility::CExpMapper* cutoffMapper;
    std::atomic<int64_t> curve[kCurvePoints];
    std::atomic<int32_t> selectedPoint{0};
    std::atomic<uint32_t> curveChanges{0};
    std::atomic<int32_t> lastIndexL{0};
    std::atomic<int32_t> lastIndexR{0};
    // Audio-thread copies: the shaper lookup and the curve it was built from.
    ShaperEntry shaperTable[kShaperEntries];
    int64_t shaperTableCurve[kCurvePoints];
    bool shaperTableBuilt = false;
    Program* programs;
    StateChunk::Buffer chunkBuffer{};
};
