#include "lv2/CurveMessages.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace DitherCrunchLv2 {

bool Urids::map(const LV2_URID_Map* m)
{
    if (!m || !m->map)
        return false;
    auto get = [m](const char* uri) { return m->map(m->handle, uri); };
    atomInt = get(LV2_ATOM__Int);
    atomVector = get(LV2_ATOM__Vector);
    atomObject = get(LV2_ATOM__Object);
    atomBlank = get(LV2_ATOM__Blank);
    atomURID = get(LV2_ATOM__URID);
    atomSequence = get(LV2_ATOM__Sequence);
    atomEventTransfer = get(LV2_ATOM__eventTransfer);
    midiEvent = get(LV2_MIDI__MidiEvent);
    patchSet = get(LV2_PATCH__Set);
    patchGet = get(LV2_PATCH__Get);
    patchProperty = get(LV2_PATCH__property);
    patchValue = get(LV2_PATCH__value);
    curve = get(kCurveUri);
    lastIndex = get(kLastIndexUri);
    for (LV2_URID u : {atomInt, atomVector, atomObject, atomBlank, atomURID, atomSequence, atomEventTransfer, midiEvent,
                       patchSet, patchGet, patchProperty, patchValue, curve, lastIndex})
        if (u == 0)
            return false;
    return true;
}

namespace {

bool forgeIntVectorSet(LV2_Atom_Forge& forge, const Urids& urids, LV2_URID property, const int32_t* values,
                       uint32_t count)
{
    // The forge ignores a vector's elements that do not fit: check the room
    // for the whole message first (object, property key and URID, value key,
    // padded vector).
    const uint32_t needed = sizeof(LV2_Atom_Object) + sizeof(LV2_Atom_Property_Body) + 8 + 8 +
                            lv2_atom_pad_size(static_cast<uint32_t>(sizeof(LV2_Atom_Vector) + count * sizeof(int32_t)));
    if (!forge.sink && forge.size - forge.offset < needed)
        return false;
    LV2_Atom_Forge_Frame frame;
    if (!lv2_atom_forge_object(&forge, &frame, 0, urids.patchSet))
        return false;
    const bool ok = lv2_atom_forge_key(&forge, urids.patchProperty) && lv2_atom_forge_urid(&forge, property) &&
                    lv2_atom_forge_key(&forge, urids.patchValue) &&
                    lv2_atom_forge_vector(&forge, sizeof(int32_t), urids.atomInt, count, values);
    lv2_atom_forge_pop(&forge, &frame);
    return ok;
}

// Atom headers are read by copying: a damaged buffer need not be aligned.
template <typename T>
T readAt(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Reads a vector of exactly `count` atom:Int from the value atom at p, whose
// body of `size` bytes lies within the message.
bool readIntVector(const Urids& urids, const uint8_t* p, int32_t* out, uint32_t count)
{
    const auto atom = readAt<LV2_Atom>(p);
    if (atom.type != urids.atomVector || atom.size < sizeof(LV2_Atom_Vector_Body))
        return false;
    const auto body = readAt<LV2_Atom_Vector_Body>(p + sizeof(LV2_Atom));
    if (body.child_type != urids.atomInt || body.child_size != sizeof(int32_t))
        return false;
    if (atom.size - sizeof(LV2_Atom_Vector_Body) != count * sizeof(int32_t))
        return false;
    std::memcpy(out, p + sizeof(LV2_Atom) + sizeof(LV2_Atom_Vector_Body), count * sizeof(int32_t));
    return true;
}

} // namespace

bool forgeCurveSet(LV2_Atom_Forge& forge, const Urids& urids, const int32_t* points)
{
    return forgeIntVectorSet(forge, urids, urids.curve, points, kCurvePoints);
}

bool forgeLastIndexSet(LV2_Atom_Forge& forge, const Urids& urids, int32_t left, int32_t right)
{
    const int32_t values[2] = {left, right};
    return forgeIntVectorSet(forge, urids, urids.lastIndex, values, 2);
}

bool forgeGet(LV2_Atom_Forge& forge, const Urids& urids, LV2_URID property)
{
    LV2_Atom_Forge_Frame frame;
    if (!lv2_atom_forge_object(&forge, &frame, 0, urids.patchGet))
        return false;
    bool ok = true;
    if (property)
        ok = lv2_atom_forge_key(&forge, urids.patchProperty) && lv2_atom_forge_urid(&forge, property);
    lv2_atom_forge_pop(&forge, &frame);
    return ok;
}

CurveMessage readCurveMessage(const Urids& urids, const LV2_Atom* atom, uint32_t available)
{
    CurveMessage message;
    if (!atom || available < sizeof(LV2_Atom))
        return message;
    const auto* bytes = reinterpret_cast<const uint8_t*>(atom);
    const auto head = readAt<LV2_Atom>(bytes);
    if (head.size > available - sizeof(LV2_Atom) || head.size < sizeof(LV2_Atom_Object_Body))
        return message;
    if (head.type != urids.atomObject && head.type != urids.atomBlank)
        return message;
    const auto object = readAt<LV2_Atom_Object_Body>(bytes + sizeof(LV2_Atom));
    if (object.otype != urids.patchSet && object.otype != urids.patchGet)
        return message;

    // The property and value atoms, checked to lie whole within the object.
    const uint8_t* const end = bytes + sizeof(LV2_Atom) + head.size;
    const uint8_t* p = bytes + sizeof(LV2_Atom) + sizeof(LV2_Atom_Object_Body);
    const uint8_t* property = nullptr;
    const uint8_t* value = nullptr;
    while (static_cast<size_t>(end - p) >= sizeof(LV2_Atom_Property_Body))
    {
        const auto body = readAt<LV2_Atom_Property_Body>(p);
        const size_t room = static_cast<size_t>(end - p) - sizeof(LV2_Atom_Property_Body);
        if (body.value.size > room)
            return message;
        const uint8_t* valueAtom = p + offsetof(LV2_Atom_Property_Body, value);
        if (body.key == urids.patchProperty)
            property = valueAtom;
        else if (body.key == urids.patchValue)
            value = valueAtom;
        const size_t step = lv2_atom_pad_size(static_cast<uint32_t>(sizeof(LV2_Atom_Property_Body) + body.value.size));
        if (step >= static_cast<size_t>(end - p))
            break;
        p += step;
    }

    LV2_URID named = 0;
    if (property)
    {
        const auto atomHead = readAt<LV2_Atom>(property);
        if (atomHead.type != urids.atomURID || atomHead.size != sizeof(LV2_URID))
            return message;
        named = readAt<LV2_URID>(property + sizeof(LV2_Atom));
    }

    if (object.otype == urids.patchGet)
    {
        if (named == 0 || named == urids.curve)
            message.kind = CurveMessage::Kind::getCurve;
        return message;
    }
    if (!value)
        return message;
    if (named == urids.curve && readIntVector(urids, value, message.points, kCurvePoints))
        message.kind = CurveMessage::Kind::setCurve;
    else if (named == urids.lastIndex && readIntVector(urids, value, message.points, 2))
        message.kind = CurveMessage::Kind::setLastIndex;
    return message;
}

} // namespace DitherCrunchLv2
