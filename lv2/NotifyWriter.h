// The plug-in's messages on notify. Each kind is forged once at
// instantiation; in run a message is a copy into the host's sequence with its
// numbers filled in, so that telling costs next to nothing.
#pragma once

#include "lv2/DitherCrunchLv2.h"

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace DitherCrunchLv2 {

class NotifyWriter
{
public:
    // [instantiation] False when a message cannot be forged.
    bool prepare(const LV2_URID_Map* map, const Urids& urids, LV2_URID stateChanged);

    // [audio thread] Starts an empty sequence in the host's buffer, whose
    // size holds its capacity in bytes. False (and nothing written) when the
    // buffer cannot hold even that; the messages then report failure too.
    bool begin(LV2_Atom_Sequence* port);
    // [audio thread] Each appends one event at frame 0; false, with nothing
    // written, when it does not fit.
    bool curve(const int32_t* points) { return append(curveMessage, points, kCurvePoints); }
    bool lastIndices(int32_t left, int32_t right)
    {
        const int32_t values[2] = {left, right};
        return append(indexMessage, values, 2);
    }
    bool stateChanged() { return append(changedMessage, nullptr, 0); }

private:
    struct Message
    {
        alignas(8) uint8_t bytes[640];
        uint32_t size = 0;     // the atom with its header, padded
        uint32_t valuesAt = 0; // where the vector's integers start
    };
    bool append(const Message& message, const int32_t* values, uint32_t count);

    Message curveMessage, indexMessage, changedMessage;
    LV2_URID sequenceType = 0;
    LV2_Atom_Sequence* sequence = nullptr;
    uint32_t capacity = 0;
};

} // namespace DitherCrunchLv2
