// The effect's state chunk: saving it, and loading it as one change.
#include "engine/Vivuzudid.h"

namespace {

// The order a loaded chunk's parameters are announced in.
constexpr VstInt32 kRestoreOrder[kNumParams] = {kPreGain,       kPrePan,         kPostGain,  kShaperSw, kWetDry,
                                                kPreFilterType, kPostFilterType, kPreCutoff, kPostCutoff};

} // namespace

VstInt32 Vivuzudid::getChunk(void** data, bool /*isPreset*/)
{
    if (!data)
        return 0;
    StateChunk::encode(shared.read(), chunkBuffer);
    *data = chunkBuffer.data();
    return static_cast<VstInt32>(StateChunk::kSize);
}

// The new state is built aside, from the defaults and the current curve, with
// every field bounded, and written as one change: processing on another
// thread hears the old state or the new one, never the defaults between.
// A block too short for what its version promises is refused (0) and changes
// nothing; an unknown version gives the defaults and keeps the curve.
VstInt32 Vivuzudid::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/)
{
    const size_t size = (data && byteSize > 0) ? static_cast<size_t>(byteSize) : 0;
    EffectState state = shared.read();
    for (int i = 0; i < kNumParams; ++i)
        state.params[i] = Parameters::kDefaults[i];
    const StateChunk::Loaded loaded = StateChunk::decode(static_cast<const unsigned char*>(data), size, state);
    if (loaded == StateChunk::Loaded::refused)
        return 0;
    shared.write(state, loaded == StateChunk::Loaded::restored);
    announceParameters(kRestoreOrder, kNumParams, true);
    return 1;
}
