#include "engine/StateChunk.h"

#include <cmath>

namespace StateChunk {

namespace {

struct Field
{
    VstInt32 parameter;
    size_t offset;
};

// Parameter fields by the version that introduced them.
constexpr Field kFirstFields[] = {{::kPreGain, kPreGain}, {::kPrePan, kPrePan}, {::kPostGain, kPostGain}, {::kShaperSw, kShaperSw}};
constexpr Field kFilterFields[] = {{::kPreFilterType, kPreFilterType},
                                   {::kPostFilterType, kPostFilterType},
                                   {::kPreCutoff, kPreCutoff},
                                   {::kPostCutoff, kPostCutoff}};

void readParameter(const unsigned char* data, const Field& field, EffectState& state)
{
    const float v = read<float>(data, field.offset);
    if (std::isfinite(v))
        state.params[field.parameter] = Parameters::bounded(v);
}

} // namespace

Loaded decode(const unsigned char* data, size_t size, EffectState& state)
{
    if (!data || size < 4)
        return Loaded::refused;
    const float version = read<float>(data, kVersion);
    if (!understood(version))
        return Loaded::unknownVersion;
    if (size < requiredSize(version))
        return Loaded::refused;
    for (const Field& f : kFirstFields)
        readParameter(data, f, state);
    if (version >= kWetDryVersion)
        readParameter(data, {::kWetDry, kWetDry}, state);
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        state.curve[i] = Parameters::boundedPoint(read<int32_t>(data, kCurve + 4 * static_cast<size_t>(i)));
    if (version >= kFilterVersion)
        for (const Field& f : kFilterFields)
            readParameter(data, f, state);
    return Loaded::restored;
}

void encode(const EffectState& state, Buffer& out)
{
    out.fill(0);
    unsigned char* c = out.data();
    write(c, kVersion, kWrittenVersion);
    for (const Field& f : kFirstFields)
        write(c, f.offset, state.params[f.parameter]);
    write(c, kWetDry, state.params[::kWetDry]);
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        write(c, kCurve + 4 * static_cast<size_t>(i), state.curve[i]);
    for (const Field& f : kFilterFields)
        write(c, f.offset, state.params[f.parameter]);
}

} // namespace StateChunk
