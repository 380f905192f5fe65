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
    void update(const SharedState& shared, const Chain::Kernel& kernel)
    {
        const SharedState::Versions now = shared.versions();
        if (now == seen && primed && (entriesBuilt || !kernel.needsEntries))
            return;
        refresh(shared, kernel, now);
    }

    const Chain::Settings& settings() const { return current; }
    const ShaperTable& shaper() const { return table; }
    DovanSVF* filters() { return filterBank; }
    const DovanSVF& filter(int which) const { return filterBank[which]; }

private:
    void refresh(const SharedState& shared, const Chain::Kernel& kernel, SharedState::Versions now);
    [[gnu::noinline]] void refreshWithCurve(const SharedState& shared, const Chain::Kernel& kernel, SharedState::Versions now);
    // Takes on the parameters whose bit is set in `changed`.
    void apply(const float (&next)[kNumParams], uint32_t changed);
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
    // The change counts the copy was made at; nothing is copied before the first update.
    SharedState::Versions seen{0, 0};
    bool primed = false;
    bool entriesBuilt = false;
    ShaperTable table;
};
