// The curve channel's messages: what the forge writes reads back, and damaged
// or foreign atoms read as nothing without touching bytes past the buffer.
#include "lv2/CurveMessages.h"

#include <gtest/gtest.h>

#include <lv2/patch/patch.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace DitherCrunchLv2;

namespace {

struct UridMap
{
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto& ids = static_cast<UridMap*>(h)->ids;
                         return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
                     }};
};

class CurveMessagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(urids.map(&uridMap.map));
        lv2_atom_forge_init(&forge, &uridMap.map);
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
    }
    const LV2_Atom* atom() const { return reinterpret_cast<const LV2_Atom*>(buffer); }
    uint32_t written() const { return static_cast<uint32_t>(sizeof(LV2_Atom) + atom()->size); }

    UridMap uridMap;
    Urids urids;
    LV2_Atom_Forge forge;
    alignas(8) uint64_t buffer[256] = {};
};

TEST_F(CurveMessagesTest, ForgedMessagesReadBack)
{
    int32_t points[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        points[i] = (i * 37) % 129;
    ASSERT_TRUE(forgeCurveSet(forge, urids, points));
    CurveMessage m = readCurveMessage(urids, atom(), written());
    ASSERT_EQ(m.kind, CurveMessage::Kind::setCurve);
    EXPECT_EQ(0, std::memcmp(m.points, points, sizeof points));

    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
    ASSERT_TRUE(forgeLastIndexSet(forge, urids, 17, 126));
    m = readCurveMessage(urids, atom(), written());
    ASSERT_EQ(m.kind, CurveMessage::Kind::setLastIndex);
    EXPECT_EQ(m.points[0], 17);
    EXPECT_EQ(m.points[1], 126);

    for (LV2_URID property : {LV2_URID{0}, urids.curve})
    {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
        ASSERT_TRUE(forgeGet(forge, urids, property));
        EXPECT_EQ(readCurveMessage(urids, atom(), written()).kind, CurveMessage::Kind::getCurve);
    }
    // A get of something else is not ours.
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
    ASSERT_TRUE(forgeGet(forge, urids, urids.lastIndex));
    EXPECT_EQ(readCurveMessage(urids, atom(), written()).kind, CurveMessage::Kind::none);
}

TEST_F(CurveMessagesTest, ForgeReportsTooSmallBuffer)
{
    int32_t points[kCurvePoints] = {};
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), 256);
    EXPECT_FALSE(forgeCurveSet(forge, urids, points));
}

TEST_F(CurveMessagesTest, MalformedMessagesReadAsNothing)
{
    int32_t points[kCurvePoints] = {};
    ASSERT_TRUE(forgeCurveSet(forge, urids, points));
    const uint32_t whole = written();
    // Every truncation of the buffer: the header's size then overruns what is there.
    for (uint32_t n = 0; n < whole; ++n)
        EXPECT_EQ(readCurveMessage(urids, atom(), n).kind, CurveMessage::Kind::none) << n;
    EXPECT_EQ(readCurveMessage(urids, nullptr, whole).kind, CurveMessage::Kind::none);

    // A vector of another length, another element type or element size
    // (its elements from a source of their own, at most 129 of 8 bytes).
    static const int64_t elements[129] = {};
    auto forgeVector = [&](uint32_t childSize, LV2_URID childType, uint32_t count) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urids.patchSet);
        lv2_atom_forge_key(&forge, urids.patchProperty);
        lv2_atom_forge_urid(&forge, urids.curve);
        lv2_atom_forge_key(&forge, urids.patchValue);
        lv2_atom_forge_vector(&forge, childSize, childType, count, elements);
        lv2_atom_forge_pop(&forge, &frame);
        return readCurveMessage(urids, atom(), written()).kind;
    };
    EXPECT_EQ(forgeVector(4, urids.atomInt, 127), CurveMessage::Kind::none);
    EXPECT_EQ(forgeVector(4, urids.atomInt, 129), CurveMessage::Kind::none);
    EXPECT_EQ(forgeVector(4, forge.Float, 128), CurveMessage::Kind::none);
    EXPECT_EQ(forgeVector(8, forge.Long, 64), CurveMessage::Kind::none);
    EXPECT_EQ(forgeVector(4, urids.atomInt, 128), CurveMessage::Kind::setCurve);

    // A property body whose value claims more bytes than the object holds.
    ASSERT_EQ(forgeVector(4, urids.atomInt, 128), CurveMessage::Kind::setCurve);
    auto* object = reinterpret_cast<LV2_Atom_Object*>(buffer);
    auto* first = lv2_atom_object_begin(&object->body);
    first->value.size = 0xFFFFFFF0u;
    EXPECT_EQ(readCurveMessage(urids, atom(), written()).kind, CurveMessage::Kind::none);

    // Not an object at all.
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
    lv2_atom_forge_int(&forge, 5);
    EXPECT_EQ(readCurveMessage(urids, atom(), written()).kind, CurveMessage::Kind::none);
}

} // namespace
