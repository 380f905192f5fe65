// MIDI event lists as hosts build them: as many entries as the block has, far
// more than the two the list record declares.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(EventList, EveryEntryOfALongListIsAppliedInOrder)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    const int controls[][2] = {{70, 10}, {71, 20}, {72, 30}, {73, 99}, {70, 40}, {71, 127}};
    const int count = sizeof controls / sizeof controls[0];
    std::vector<VstMidiEvent> midi(count);
    std::vector<unsigned char> storage(offsetof(VstEvents, events) + sizeof(VstEvent*) * (count + 2));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = count + 2;
    VstEvent** entries = list->events;
    for (int i = 0; i < count; ++i)
    {
        midi[i].type = kVstMidiType;
        midi[i].byteSize = sizeof(VstMidiEvent);
        midi[i].midiData[0] = static_cast<char>(0xB0 | i);
        midi[i].midiData[1] = static_cast<char>(controls[i][0]);
        midi[i].midiData[2] = static_cast<char>(controls[i][1]);
        entries[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    }
    // A missing entry and a non-MIDI one at the end are skipped.
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    entries[count] = nullptr;
    entries[count + 1] = &sysex;

    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, list), 1);
    EXPECT_EQ(host.getParameter(0), static_cast<float>(40 / 127.0));
    EXPECT_EQ(host.getParameter(1), 1.0f);
    EXPECT_EQ(host.getParameter(2), static_cast<float>(30 / 127.0));
}

} // namespace
