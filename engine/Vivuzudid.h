// The Dithercrunch effect: pre-gain and pan, pre filter, hand-drawn curve
// shaper, post filter, post gain and wet/dry, with its parameters, programs,
// MIDI mapping and state chunk.
//
// Threads: hosts set parameters and load states from their user-interface
// thread while the audio thread processes. What they write goes to
// SharedState; the audio thread keeps its own copy (ChainState), brought up to
// date at the start of each block, so it never waits and never hears half a
// state.
#pragma once

#include "engine/CExpMapper.h"
#include "engine/ChainKernel.h"
#include "engine/ChainState.h"
#include "engine/Parameters.h"
#include "engine/Program.h"
#include "engine/ShaperIndex.h"
#include "engine/SharedState.h"
#include "engine/StateChunk.h"
#include "frame/AudioEffectX.h"

#include <atomic>
#include <cstdint>

class Vivuzudid : public AudioEffectX
{
public:
    static constexpr VstInt32 kNumPrograms = 1;
    static constexpr int kCurvePoints = Parameters::kCurvePoints;
    static constexpr VstInt32 kUniqueID = CCONST('K', 'w', 'Q', 'z');

    explicit Vivuzudid(audioMasterCallback audioMaster);
    ~Vivuzudid() override;

    void suspend() override {}
    void resume() override;
    // [audio thread]
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // [any thread] Values of the nine parameters are clamped to 0..1 and curve
    // points to 0..128; non-finite values are ignored (the value stays).
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    // Each writes a terminated text, empty for an index without one.
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    // [UI thread] Loads the whole state at once; see VivuzudidChunk.cpp.
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

    // [UI thread] Every parameter to its default, as one change.
    virtual void setDefaults();

    // [any thread] The curve index the shaper used last for a channel (0 left,
    // 1 right). Virtual so that a stand-in for the effect in another process
    // can show the indices it is told.
    virtual VstInt32 getLastCurveIndex(VstInt32 channel) const
    {
        return ShaperIndex::indexOf((channel == 1 ? lastLevelR : lastLevelL).load(std::memory_order_relaxed) + 1.0f);
    }
    // [any thread] Shows these curve indices as the last ones (for a stand-in
    // of the effect that is told them rather than processing).
    void setLastCurveIndices(VstInt32 left, VstInt32 right);
    // [any thread] The whole curve at once, each point bounded to 0..128 (the
    // range the shaper's output covers). Lock-free, so the audio thread may
    // call it.
    void setCurve(const int32_t* points);
    // [audio thread] setCurve without waiting: false, with the curve
    // unchanged, while another thread writes a whole state; try again later.
    bool trySetCurve(const int32_t* points);
    void getCurve(int32_t* points) const;
    // [any thread] Grows with every change of the curve: a reader that kept the
    // last count knows whether to read the points again.
    uint32_t getCurveChangeCount() const { return shared.curveChangeCount(); }
    // The filter sample rate fixed at construction.
    float getFilterSampleRate() const { return filterSampleRate; }
    // [audio thread] A filter as the last block left it (0 pre-left, 1
    // pre-right, 2 post-left, 3 post-right).
    const DovanSVF& filter(int which) const { return chain.filter(which); }

    // The chain's kernel: chosen when the effect is created (see ChainKernel).
    // [any thread] Another kernel takes over from the next block.
    void setKernel(const Chain::Kernel& k) { kernel.store(&k, std::memory_order_relaxed); }
    const Chain::Kernel& getKernel() const { return *kernel.load(std::memory_order_relaxed); }

protected:
    void processBlock(float** inputs, float** outputs, VstInt32 sampleFrames);
    // Lets a subclass (and so the editor) follow a state set whole: the
    // virtual setParameter for each parameter in `order`, then the editor
    // refresh when `refresh`.
    void announceParameters(const VstInt32* order, int count, bool refresh);

    float filterSampleRate;
    Quillfen::Utility::CExpMapper* cutoffMapper;
    SharedState shared;
    std::atomic<const Chain::Kernel*> kernel;
    std::atomic<int32_t> selectedPoint{0};
    // The shaper's last levels (see Chain::LastLevels).
    std::atomic<float> lastLevelL{0.0f};
    std::atomic<float> lastLevelR{0.0f};
    Program* programs;
    StateChunk::Buffer chunkBuffer{};
    // [audio thread] Last: it refers to the mapper.
    ChainState chain;
};
