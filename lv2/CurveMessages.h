// The patch messages of the curve channel: written with an atom forge and read
// back defensively from whatever a host or a UI delivers.
#pragma once

#include "lv2/DitherCrunchLv2.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>

#include <cstdint>

namespace DitherCrunchLv2 {

// [any thread] Writes a patch:Set of #curve with the 128 points as a vector of
// atom:Int. False when the forge ran out of room (nothing usable was written).
bool forgeCurveSet(LV2_Atom_Forge& forge, const Urids& urids, const int32_t* points);
// [any thread] Writes a patch:Set of #lastIndex: a vector of two atom:Int, left and right.
bool forgeLastIndexSet(LV2_Atom_Forge& forge, const Urids& urids, int32_t left, int32_t right);
// [any thread] Writes a patch:Get of `property` (0: no property, all of them).
bool forgeGet(LV2_Atom_Forge& forge, const Urids& urids, LV2_URID property);

// A message of the curve channel as read from an atom.
struct CurveMessage
{
    enum class Kind
    {
        none,      // not a message of this channel, or malformed
        setCurve,  // points holds the 128 points
        setLastIndex, // points[0] and points[1] hold left and right
        getCurve,  // a patch:Get of #curve, or of no property
    };
    Kind kind = Kind::none;
    int32_t points[kCurvePoints] = {};
};

// [any thread] Reads `atom`, of which at most `available` bytes (header
// included) may be touched. Anything malformed, truncated or of another type
// reads as Kind::none. Allocates nothing.
CurveMessage readCurveMessage(const Urids& urids, const LV2_Atom* atom, uint32_t available);

} // namespace DitherCrunchLv2
