// The audio thread's own copy of the state and everything derived from it:
// pre-gain factors, filter types and coefficients, the shaper lookup, and
// the filters' running state. A block begins by bringing it up to date, which
// costs a comparison when nothing changed; a change recomputes only what
// depends on the changed value.
#pragma once

#include "engine/CExpMapper.h"
#include "engine/ChainKernel.h"
#include "engine/SharedState.h"

class ChainState
{
public:
    ChainState(float filterSampleRate, const Quillfen::Utility::CExpMapper& cutoffMapper);

    // [audio thread] Takes on what changed in `shared` since the last call.
    // While a whole state is being written the previous copy stays, and the
    // next block takes the new state whole.
    void update(const SharedState& shared, const Chain::Kernel& kernel);

    const Chain::Settings& settings() const { return current; }
    const ShaperTable& shaper() const { return table; }
    DovanSVF* filters() { return filterBank; }
    const DovanSVF& filter(int which) const { return filterBank[which]; }

private:
    void apply(const float (&next)[kNumParams]);
    void setPreGain();
    void setFilterType(int pair, float value);
    void setFilterCutoff(int pair, float value);

    const float filterSampleRate;
    const Quillfen::Utility::CExpMapper& mapper;
    float params[kNumParams];
    // The pan law's two cosines, kept so that a PreGain change costs two products.
    float panCosL = 0.0f, panCosR = 0.0f;
    Chain::Settings current{};
    // Pre-left, pre-right, post-left, post-right.
    DovanSVF filterBank[4];
    int32_t curve[Parameters::kCurvePoints];
    uint32_t curveCount = 0;
    bool curveKnown = false;
    bool entriesBuilt = false;
    ShaperTable table;
};
