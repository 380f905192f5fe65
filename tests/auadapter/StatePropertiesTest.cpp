// The property surface as a host sees it through the published calls.
#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

struct Notice
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
};

void recordNotice(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    static_cast<std::vector<Notice>*>(refCon)->push_back({id, scope, element});
}

void recordEvent(void* refCon, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue)
{
    static_cast<std::vector<Notice>*>(refCon)->push_back(
        {event->mArgument.mProperty.mPropertyID, event->mArgument.mProperty.mScope, event->mArgument.mProperty.mElement});
}

struct PresetState
{
    SInt32 number;
    std::string name;
};

PresetState currentPreset(AudioUnit unit, AudioUnitPropertyID id = kAudioUnitProperty_CurrentPreset)
{
    AUPreset preset{};
    UInt32 size = sizeof(preset);
    EXPECT_EQ(AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &preset, &size), noErr);
    EXPECT_EQ(size, sizeof(AUPreset));
    PresetState state{preset.presetNumber, stringValue(preset.presetName)};
    if (id == kAudioUnitProperty_PresentPreset && preset.presetName)
        CFRelease(preset.presetName);
    return state;
}

class DithercrunchProperties : public ::testing::Test
{
protected:
    void SetUp() override { unit = harness.open(); ASSERT_TRUE(unit); }
    ComponentHarness harness;
    AudioUnit unit = nullptr;
};

TEST_F(DithercrunchProperties, ClassInfoIsAPresetDocumentOfTheCurrentProgram)
{
    CFDictionaryRef document = classInfo(unit);
    ASSERT_TRUE(document);
    EXPECT_EQ(CFGetRetainCount(document), 1) << "the caller owns the document";
    EXPECT_EQ(numberValue(document, "version"), 1);
    EXPECT_EQ(numberValue(document, "type"), static_cast<int32_t>('aumf'));
    EXPECT_EQ(numberValue(document, "subtype"), static_cast<int32_t>('KwQz'));
    EXPECT_EQ(numberValue(document, "manufacturer"), static_cast<int32_t>('Trnb'));
    EXPECT_EQ(numberValue(document, "ProgramNumber"), 0);
    const std::vector<uint8_t> record = dataBytes(document, "vstdata");
    ASSERT_GE(record.size(), 60u);
    EXPECT_EQ(std::string(record.begin() + 8, record.begin() + 12), "FPCh");
    CFRelease(document);
}

} // namespace
