#include "lv2/NotifyWriter.h"

#include "lv2/CurveMessages.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>

#include <cstring>

namespace DitherCrunchLv2 {

namespace {

template <typename Forge>
bool forgeInto(const LV2_URID_Map* map, uint8_t* bytes, uint32_t room, uint32_t& size, Forge&& write)
{
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(map));
    lv2_atom_forge_set_buffer(&forge, bytes, room);
    if (!write(forge))
        return false;
    size = lv2_atom_pad_size(static_cast<uint32_t>(sizeof(LV2_Atom) + reinterpret_cast<LV2_Atom*>(bytes)->size));
    return size <= room;
}

} // namespace

bool NotifyWriter::prepare(const LV2_URID_Map* map, const Urids& urids, LV2_URID stateChangedUrid)
{
    const int32_t zeros[kCurvePoints] = {};
    const bool ok =
        forgeInto(map, curveMessage.bytes, sizeof curveMessage.bytes, curveMessage.size,
                  [&](LV2_Atom_Forge& f) { return forgeCurveSet(f, urids, zeros); }) &&
        forgeInto(map, indexMessage.bytes, sizeof indexMessage.bytes, indexMessage.size,
                  [&](LV2_Atom_Forge& f) { return forgeLastIndexSet(f, urids, 0, 0); }) &&
        forgeInto(map, changedMessage.bytes, sizeof changedMessage.bytes, changedMessage.size,
                  [&](LV2_Atom_Forge& f) {
                      LV2_Atom_Forge_Frame frame;
                      if (!lv2_atom_forge_object(&f, &frame, 0, stateChangedUrid))
                          return false;
                      lv2_atom_forge_pop(&f, &frame);
                      return true;
                  });
    // The vectors close their messages.
    curveMessage.valuesAt = curveMessage.size - kCurvePoints * sizeof(int32_t);
    indexMessage.valuesAt = indexMessage.size - 2 * sizeof(int32_t);
    sequenceType = ok ? urids.atomSequence : 0;
    return ok;
}

bool NotifyWriter::begin(LV2_Atom_Sequence* port)
{
    sequence = nullptr;
    if (!port || !sequenceType || port->atom.size < sizeof(LV2_Atom_Sequence))
        return false;
    capacity = port->atom.size;
    port->atom.type = sequenceType;
    port->atom.size = sizeof(LV2_Atom_Sequence_Body);
    port->body.unit = 0;
    port->body.pad = 0;
    sequence = port;
    return true;
}

bool NotifyWriter::append(const Message& message, const int32_t* values, uint32_t count)
{
    if (!sequence)
        return false;
    const uint32_t used = static_cast<uint32_t>(sizeof(LV2_Atom)) + sequence->atom.size;
    const uint32_t event = static_cast<uint32_t>(sizeof(int64_t)) + message.size;
    if (used > capacity || capacity - used < event)
        return false;
    uint8_t* at = reinterpret_cast<uint8_t*>(sequence) + used;
    const int64_t frame = 0;
    std::memcpy(at, &frame, sizeof frame);
    std::memcpy(at + sizeof frame, message.bytes, message.size);
    if (count)
        std::memcpy(at + sizeof frame + message.valuesAt, values, count * sizeof(int32_t));
    sequence->atom.size += event;
    return true;
}

} // namespace DitherCrunchLv2
