// The ports as hosts see them: symbols, names and kinds, in port order. The
// Turtle is written from this table and the effect's own defaults.
#pragma once

#include "lv2/DitherCrunchLv2.h"

namespace DitherCrunchLv2 {

struct PortInfo
{
    enum class Kind
    {
        control,     // a parameter, 0 to 1
        toggle,      // a parameter that is on or off
        choice,      // a parameter with the filter types as scale points
        audioIn,
        audioOut,
        atomIn,
        atomOut,
    };
    const char* symbol;
    const char* name;
    Kind kind;
};

inline constexpr PortInfo kPorts[kNumPorts] = {
    {"pre_gain", "Pre Gain", PortInfo::Kind::control},
    {"pre_pan", "Pre Pan", PortInfo::Kind::control},
    {"post_gain", "Post Gain", PortInfo::Kind::control},
    {"shaper", "Shaper", PortInfo::Kind::toggle},
    {"wet_dry", "Wet/Dry", PortInfo::Kind::control},
    {"pre_filter", "Pre Filter", PortInfo::Kind::choice},
    {"pre_cutoff", "Pre Cutoff", PortInfo::Kind::control},
    {"post_filter", "Post Filter", PortInfo::Kind::choice},
    {"post_cutoff", "Post Cutoff", PortInfo::Kind::control},
    {"in_l", "Left In", PortInfo::Kind::audioIn},
    {"in_r", "Right In", PortInfo::Kind::audioIn},
    {"out_l", "Left Out", PortInfo::Kind::audioOut},
    {"out_r", "Right Out", PortInfo::Kind::audioOut},
    {"control", "Control", PortInfo::Kind::atomIn},
    {"notify", "Notify", PortInfo::Kind::atomOut},
};

// The filter types of a choice port: a value v selects type trunc(3v + 0.5).
struct ScalePoint
{
    const char* value; // as written in the Turtle
    const char* label;
};
inline constexpr ScalePoint kFilterTypes[4] = {
    {"0.0", "Off"}, {"0.333333", "Low-pass"}, {"0.666667", "Band-pass"}, {"1.0", "High-pass"}};

// Atom buffers must hold a whole curve message and what else one run sends.
constexpr int kAtomBufferBytes = 4096;

} // namespace DitherCrunchLv2
