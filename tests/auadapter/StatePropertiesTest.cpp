// The property surface of the saved state, the presets and the remaining
// rows of the property table, as a host sees it through the published calls.
#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <vector>

namespace
{

constexpr int32_t fourCC(const char (&code)[5])
{
    return static_cast<int32_t>((uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
                                (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3])));
}

constexpr OSStatus kInvalidProperty = kAudioUnitErr_InvalidProperty;
constexpr OSStatus kInvalidPropertyValue = kAudioUnitErr_InvalidPropertyValue;
constexpr OSStatus kUnknownFailure = -32767;

struct Notice
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    bool operator==(const Notice&) const = default;
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

const std::vector<Notice> kPresetNotices = {{kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0},
                                            {kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0}};

struct PresetState
{
    SInt32 number;
    std::string name;
    bool operator==(const PresetState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PresetState& p)
{
    return out << "(" << p.number << ", \"" << p.name << "\")";
}

PresetState presetOf(AudioUnit unit)
{
    AUPreset preset{};
    UInt32 size = sizeof(preset);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, &size),
              noErr);
    EXPECT_EQ(size, sizeof(AUPreset));
    return {preset.presetNumber, stringValue(preset.presetName)};
}

OSStatus setPreset(AudioUnit unit, SInt32 number, CFStringRef name = nullptr, UInt32 size = sizeof(AUPreset),
                   AudioUnitPropertyID id = kAudioUnitProperty_CurrentPreset)
{
    AUPreset preset{number, name};
    return AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &preset, size);
}

std::vector<AudioUnitParameterValue> parameterValues(AudioUnit unit)
{
    std::vector<AudioUnitParameterValue> values;
    UInt32 size = 0;
    Boolean writable = false;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size, &writable),
              noErr);
    std::vector<AudioUnitParameterID> ids(size / 4);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(), &size),
              noErr);
    for (AudioUnitParameterID id : ids)
    {
        AudioUnitParameterValue v = -1;
        EXPECT_EQ(AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &v), noErr);
        values.push_back(v);
    }
    return values;
}

// Moves every parameter of the unit away from its default.
void changeParameters(AudioUnit unit)
{
    UInt32 size = 0;
    Boolean writable = false;
    AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size, &writable);
    std::vector<AudioUnitParameterID> ids(size / 4);
    AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(), &size);
    for (AudioUnitParameterID id : ids)
    {
        AudioUnitParameterInfo info{};
        UInt32 infoSize = sizeof(info);
        ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, &infoSize),
                  noErr);
        const AudioUnitParameterValue value = info.minValue + (info.maxValue - info.minValue) * 0.3f;
        ASSERT_EQ(AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0), noErr);
    }
}

// ------------------------------------------------------------- the table

struct Row
{
    const char* what;
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    OSStatus info; // result of GetPropertyInfo
    UInt32 size;
    bool writable;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.what;
}

class PropertyRows : public ::testing::TestWithParam<std::tuple<bool, Row>>
{
};

TEST_P(PropertyRows, ReportSizeWritableFlagOrTheirError)
{
    const auto& [testEffect, row] = GetParam();
    ComponentHarness harness({.testEffect = testEffect});
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    UInt32 size = 12345;
    Boolean writable = 7;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, row.id, row.scope, row.element, &size, &writable), row.info);
    if (row.info == noErr)
    {
        EXPECT_EQ(size, row.size);
        EXPECT_EQ(writable != 0, row.writable);
    }
    else
    {
        EXPECT_EQ(size, 0u) << "outputs are cleared on failure";
        EXPECT_EQ(writable, 0);
        // Get and set fail the same way before anything else is looked at.
        uint8_t buffer[256] = {};
        UInt32 bufferSize = sizeof(buffer);
        EXPECT_EQ(AudioUnitGetProperty(unit, row.id, row.scope, row.element, buffer, &bufferSize), row.info);
        EXPECT_EQ(AudioUnitSetProperty(unit, row.id, row.scope, row.element, buffer, sizeof(buffer)), row.info);
    }
}

const Row kDithercrunchRows[] = {
    {"ClassInfo", kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, noErr, 8, true},
    {"ClassInfoOnInput", kAudioUnitProperty_ClassInfo, kAudioUnitScope_Input, 0, kAudioUnitErr_InvalidScope, 0, false},
    {"SupportedNumChannels", kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, noErr, 8, false},
    {"SupportedNumChannelsOnOutput", kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Output, 0,
     kAudioUnitErr_InvalidScope, 0, false},
    {"BypassWithoutSupport", kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, kInvalidProperty, 0, false},
    {"LastRenderError", kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, 0, noErr, 4, false},
    {"FactoryPresets", kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, noErr, 8, false},
    {"FactoryPresetsOnInput", kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Input, 0, kAudioUnitErr_InvalidScope, 0,
     false},
    {"CurrentPreset", kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, noErr, 16, true},
    {"PresentPreset", kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, noErr, 16, true},
    {"PresentPresetOnOutput", kAudioUnitProperty_PresentPreset, kAudioUnitScope_Output, 0, kAudioUnitErr_InvalidScope, 0,
     false},
    {"CocoaUI", kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, noErr, 16, false},
    {"CocoaUIOnInput", kAudioUnitProperty_CocoaUI, kAudioUnitScope_Input, 0, kAudioUnitErr_InvalidScope, 0, false},
    {"StringFromValueWithoutExtensions", kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0,
     kInvalidProperty, 0, false},
    {"ValueFromStringWithoutExtensions", kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0,
     kInvalidProperty, 0, false},
    {"StringFromValueElementOutOfRange", kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 9,
     kAudioUnitErr_InvalidElement, 0, false},
    {"InstrumentCount", kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0, noErr, 4, false},
    {"InstrumentCountOnInput", kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Input, 0, kAudioUnitErr_InvalidScope,
     0, false},
};

const Row kTestEffectRows[] = {
    {"Bypass", kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, noErr, 4, true},
    {"StringFromValue", kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, noErr, 24, false},
    {"ValueFromString", kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 3, noErr, 24, false},
    {"ValueFromStringElementOutOfRange", kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 4,
     kAudioUnitErr_InvalidElement, 0, false},
    {"StringFromValueOnInput", kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Input, 0,
     kAudioUnitErr_InvalidScope, 0, false},
    {"ElementNameOnGlobal", kAudioUnitProperty_ElementName, kAudioUnitScope_Global, 0, kAudioUnitErr_InvalidScope, 0,
     false},
    {"ElementNameOfMissingBus", kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 1, kAudioUnitErr_InvalidElement, 0,
     false},
    {"ElementNameOfInput", kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, noErr, 8, false},
};

std::vector<Row> invalidRows()
{
    std::vector<Row> rows;
    for (AudioUnitPropertyID id : {5u, 6u, 7u, 9u, 10u, 15u, 17u, 18u, 19u, 25u, 26u, 29u, 32u, 34u, 35u, 37u, 39u, 40u,
                                   50u, 999u, 1001u, 0x10000u, 64000u, 0xFFFFFFFFu})
        for (AudioUnitScope scope : {kAudioUnitScope_Global, kAudioUnitScope_Input})
        {
            static std::deque<std::string> names; // stable addresses
            names.push_back("Invalid" + std::to_string(id) + (scope ? "Input" : "Global"));
            rows.push_back({names.back().c_str(), id, scope, 0, kInvalidProperty, 0, false});
        }
    return rows;
}

std::string rowName(const ::testing::TestParamInfo<std::tuple<bool, Row>>& info)
{
    return std::string(std::get<0>(info.param) ? "TestEffect_" : "Dithercrunch_") + std::get<1>(info.param).what;
}

INSTANTIATE_TEST_SUITE_P(Dithercrunch, PropertyRows,
                         ::testing::Combine(::testing::Values(false), ::testing::ValuesIn(kDithercrunchRows)), rowName);
INSTANTIATE_TEST_SUITE_P(TestEffect, PropertyRows,
                         ::testing::Combine(::testing::Values(true), ::testing::ValuesIn(kTestEffectRows)), rowName);
INSTANTIATE_TEST_SUITE_P(Invalid, PropertyRows,
                         ::testing::Combine(::testing::Values(false), ::testing::ValuesIn(invalidRows())), rowName);

// -------------------------------------------------------- one instance each

class DithercrunchState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit = harness.open();
        ASSERT_TRUE(unit);
    }
    ComponentHarness harness;
    AudioUnit unit = nullptr;
};

TEST_F(DithercrunchState, ClassInfoIsAPresetDocumentOwnedByTheCaller)
{
    CFDictionaryRef document = classInfo(unit);
    ASSERT_TRUE(document);
    EXPECT_EQ(CFGetRetainCount(document), 1);
    EXPECT_EQ(numberValue(document, "version"), 1);
    EXPECT_EQ(numberValue(document, "type"), fourCC("aumf"));
    EXPECT_EQ(numberValue(document, "subtype"), fourCC("KwQz"));
    EXPECT_EQ(numberValue(document, "manufacturer"), fourCC("Trnb"));
    EXPECT_EQ(numberValue(document, "ProgramNumber"), 0);
    EXPECT_EQ(stringValue(CFDictionaryGetValue(document, CFSTR("name"))), presetOf(unit).name);
    const std::vector<uint8_t> record = dataBytes(document, "vstdata");
    ASSERT_EQ(record.size(), 60u + 564u) << "a program chunk record around the 564-byte state";
    EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "CcnK");
    EXPECT_EQ(std::string(record.begin() + 8, record.begin() + 12), "FPCh");
    CFRelease(document);
}

TEST_F(DithercrunchState, ClassInfoRestoresParametersIntoAFreshInstanceBeforeInitialize)
{
    changeParameters(unit);
    CFDictionaryRef document = classInfo(unit);
    AudioUnit fresh = harness.open();
    ASSERT_NE(parameterValues(fresh), parameterValues(unit));
    ASSERT_EQ(setClassInfo(fresh, document), noErr);
    EXPECT_EQ(parameterValues(fresh), parameterValues(unit));
    CFDictionaryRef again = classInfo(fresh);
    EXPECT_EQ(dataBytes(again, "vstdata"), dataBytes(document, "vstdata"));
    EXPECT_EQ(CFGetRetainCount(document), 1) << "the unit keeps no reference to what it was given";
    EXPECT_EQ(AudioUnitInitialize(fresh), noErr);
    CFRelease(again);
    CFRelease(document);
}

TEST_F(DithercrunchState, ClassInfoSetNamesTheProgramAndAnnouncesBothPresets)
{
    CFDictionaryRef document = classInfo(unit);
    CFMutableDictionaryRef renamed = mutableCopy(document);
    CFDictionarySetValue(renamed, CFSTR("name"), CFSTR("Crunchy Lead"));
    std::vector<Notice> notices;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_CurrentPreset, recordNotice, &notices), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_PresentPreset, recordNotice, &notices), noErr);
    ASSERT_EQ(setPreset(unit, 0), noErr) << "a factory preset first, so that the state makes it a user preset";
    notices.clear();
    ASSERT_EQ(setClassInfo(unit, renamed), noErr);
    EXPECT_EQ(notices, kPresetNotices);
    EXPECT_EQ(presetOf(unit), (PresetState{-1, "Crunchy Lead"}));
    CFRelease(renamed);
    CFRelease(document);
}

// One broken document each, with the result the unit answers.
struct BadDocument
{
    const char* what;
    OSStatus expected;
    std::function<CFPropertyListRef(CFDictionaryRef good)> make; // Create rule
};

CFPropertyListRef withValue(CFDictionaryRef good, const char* key, CFTypeRef value)
{
    CFMutableDictionaryRef copy = mutableCopy(good);
    CFDictionarySetValue(copy, __CFStringMakeConstantString(key), value);
    return copy;
}

CFPropertyListRef withNumber(CFDictionaryRef good, const char* key, int32_t value)
{
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    CFPropertyListRef copy = withValue(good, key, number);
    CFRelease(number);
    return copy;
}

CFPropertyListRef withRecord(CFDictionaryRef good, const std::function<void(std::vector<uint8_t>&)>& change)
{
    std::vector<uint8_t> record = dataBytes(good, "vstdata");
    change(record);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, record.data(), static_cast<CFIndex>(record.size()));
    CFPropertyListRef copy = withValue(good, "vstdata", data);
    CFRelease(data);
    return copy;
}

void putBig(std::vector<uint8_t>& record, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        record[at + i] = uint8_t(value >> (24 - 8 * i));
}

const BadDocument kBadDocuments[] = {
    {"NotADictionary", kInvalidPropertyValue, [](CFDictionaryRef) { return CFRetain(CFSTR("not a preset")); }},
    {"Null", kInvalidPropertyValue, [](CFDictionaryRef) { return CFPropertyListRef(nullptr); }},
    {"Version2", kInvalidPropertyValue, [](CFDictionaryRef g) { return withNumber(g, "version", 2); }},
    {"VersionAsString", kInvalidPropertyValue, [](CFDictionaryRef g) { return withValue(g, "version", CFSTR("1")); }},
    {"NoVersion", kUnknownFailure, [](CFDictionaryRef g) { return CFPropertyListRef(mutableCopy(g, {"version"})); }},
    {"OtherType", kInvalidPropertyValue, [](CFDictionaryRef g) { return withNumber(g, "type", fourCC("aufx")); }},
    {"OtherSubtype", kInvalidPropertyValue, [](CFDictionaryRef g) { return withNumber(g, "subtype", fourCC("Othr")); }},
    {"OtherManufacturer", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withNumber(g, "manufacturer", fourCC("Appl")); }},
    {"ProgramNumberAsString", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withValue(g, "ProgramNumber", CFSTR("0")); }},
    {"NoName", kUnknownFailure, [](CFDictionaryRef g) { return CFPropertyListRef(mutableCopy(g, {"name"})); }},
    {"NameAsNumber", kInvalidPropertyValue, [](CFDictionaryRef g) { return withNumber(g, "name", 3); }},
    {"NoVstdata", kUnknownFailure, [](CFDictionaryRef g) { return CFPropertyListRef(mutableCopy(g, {"vstdata"})); }},
    {"VstdataAsString", kInvalidPropertyValue, [](CFDictionaryRef g) { return withValue(g, "vstdata", CFSTR("CcnK")); }},
    {"VstdataTruncatedInTheChunk", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { r.resize(r.size() - 100); }); }},
    {"VstdataTruncatedInTheHeader", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { r.resize(10); }); }},
    {"VstdataEmpty", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { r.clear(); }); }},
    {"VstdataOfAnotherEffect", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { putBig(r, 16, fourCC("Othr")); }); }},
    {"VstdataWithHugeChunkLength", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { putBig(r, 56, 0x7FFFFFF0u); }); }},
    {"VstdataWithNegativeChunkLength", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { putBig(r, 56, 0xFFFFFFF0u); }); }},
    {"VstdataWithUnknownForm", kInvalidPropertyValue,
     [](CFDictionaryRef g) { return withRecord(g, [](std::vector<uint8_t>& r) { putBig(r, 8, fourCC("Junk")); }); }},
};

class BadClassInfo : public DithercrunchState, public ::testing::WithParamInterface<BadDocument>
{
};

TEST_P(BadClassInfo, FailsWithItsCodeAndLeavesStateAndPresetUnchanged)
{
    changeParameters(unit);
    CFDictionaryRef good = classInfo(unit);
    AudioUnit other = harness.open();
    const PresetState presetBefore = presetOf(other);
    CFDictionaryRef stateBefore = classInfo(other);
    std::vector<Notice> notices;
    ASSERT_EQ(AudioUnitAddPropertyListener(other, kAudioUnitProperty_CurrentPreset, recordNotice, &notices), noErr);

    CFPropertyListRef bad = GetParam().make(good);
    EXPECT_EQ(setClassInfo(other, bad), GetParam().expected);
    EXPECT_EQ(presetOf(other), presetBefore);
    CFDictionaryRef stateAfter = classInfo(other);
    EXPECT_EQ(dataBytes(stateAfter, "vstdata"), dataBytes(stateBefore, "vstdata"));
    EXPECT_TRUE(notices.empty());
    if (bad)
        CFRelease(bad);
    CFRelease(stateAfter);
    CFRelease(stateBefore);
    CFRelease(good);
}

INSTANTIATE_TEST_SUITE_P(Documents, BadClassInfo, ::testing::ValuesIn(kBadDocuments),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(DithercrunchState, ProgramNumberOutOfRangeMeansProgramZero)
{
    CFDictionaryRef good = classInfo(unit);
    for (int32_t number : {-1, 1, 1000})
    {
        CFPropertyListRef document = withNumber(good, "ProgramNumber", number);
        EXPECT_EQ(setClassInfo(unit, document), noErr) << number;
        CFRelease(document);
    }
    CFRelease(good);
}

TEST_F(DithercrunchState, CurrentPresetSizesAndReferenceCounts)
{
    UInt32 size = 0;
    Boolean writable = false;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &size, &writable),
              noErr);
    EXPECT_EQ(size, 16u);
    size = 99;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, nullptr, &size), noErr);
    EXPECT_EQ(size, 4u) << "the minimum size";

    uint8_t small[8];
    std::memset(small, 0xAB, sizeof(small));
    size = 4;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, small, &size), noErr);
    EXPECT_EQ(size, 4u);
    SInt32 number = 0;
    std::memcpy(&number, small, 4);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(small[4], 0xAB) << "nothing beyond the number";
    size = 3;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, small, &size),
              kInvalidPropertyValue);

    AUPreset preset{};
    size = sizeof(preset);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, &size), noErr);
    const CFIndex held = CFGetRetainCount(preset.presetName);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, &size), noErr);
    EXPECT_EQ(CFGetRetainCount(preset.presetName), held) << "CurrentPreset does not retain the name";
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, &size), noErr);
    EXPECT_EQ(CFGetRetainCount(preset.presetName), held + 1) << "PresentPreset retains it for the caller";
    CFRelease(preset.presetName);
}

TEST_F(DithercrunchState, FactoryPresetArrayIsRetainedForTheCaller)
{
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof(presets);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size),
              noErr);
    const CFIndex held = CFGetRetainCount(presets);
    CFArrayRef again = nullptr;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &again, &size),
              noErr);
    EXPECT_EQ(again, presets);
    EXPECT_EQ(CFGetRetainCount(presets), held + 1);
    ASSERT_EQ(CFArrayGetCount(presets), 1);
    const auto* first = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, 0));
    EXPECT_EQ(first->presetNumber, 0);
    CFRelease(again);
    CFRelease(presets);
}

TEST_F(DithercrunchState, UserPresetWithTheProgramsOwnNameAnnouncesNothing)
{
    const PresetState before = presetOf(unit);
    ASSERT_EQ(before.number, -1);
    std::vector<Notice> notices;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_CurrentPreset, recordNotice, &notices), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_PresentPreset, recordNotice, &notices), noErr);
    CFStringRef same = CFStringCreateWithCString(kCFAllocatorDefault, before.name.c_str(), kCFStringEncodingUTF8);
    EXPECT_EQ(setPreset(unit, -1, same), noErr);
    EXPECT_TRUE(notices.empty());
    CFRelease(same);

    EXPECT_EQ(setPreset(unit, -1, CFSTR("  My Sound that is longer than the program name field")), noErr);
    EXPECT_EQ(notices, kPresetNotices);
    EXPECT_EQ(presetOf(unit), (PresetState{-1, "  My Sound that is long"})) << "as far as the effect keeps it (23)";
    notices.clear();
    EXPECT_EQ(setPreset(unit, -1, CFSTR("ignored"), 8, kAudioUnitProperty_PresentPreset), noErr)
        << "below 16 bytes the name is absent";
    EXPECT_TRUE(notices.empty());
}

TEST_F(DithercrunchState, FactoryIndexAtTheCountFailsAndChangesNothing)
{
    const PresetState before = presetOf(unit);
    CFDictionaryRef state = classInfo(unit);
    EXPECT_EQ(setPreset(unit, 1), kInvalidPropertyValue);
    EXPECT_EQ(setPreset(unit, 0x7FFFFFFF), kInvalidPropertyValue);
    EXPECT_EQ(presetOf(unit), before);
    CFDictionaryRef after = classInfo(unit);
    EXPECT_EQ(dataBytes(after, "vstdata"), dataBytes(state, "vstdata"));
    CFRelease(after);
    CFRelease(state);
}

TEST_F(DithercrunchState, WithoutListenersPresetChangesAreBroadcast)
{
    std::vector<Notice> events;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(recordEvent, &events, nullptr, nullptr, 0.0f, 0.0f, &listener), noErr);
    for (AudioUnitPropertyID id : {kAudioUnitProperty_CurrentPreset, kAudioUnitProperty_PresentPreset})
    {
        AudioUnitEvent event{};
        event.mEventType = kAudioUnitEvent_PropertyChange;
        event.mArgument.mProperty = {unit, id, kAudioUnitScope_Global, 0};
        ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
    }
    ASSERT_EQ(setPreset(unit, 0), noErr);
    EXPECT_EQ(events, kPresetNotices);

    // One listener for anything else silences the broadcast.
    events.clear();
    std::vector<Notice> notices;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_StreamFormat, recordNotice, &notices), noErr);
    ASSERT_EQ(setPreset(unit, 0), noErr);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(notices.empty());
    AUListenerDispose(listener);
}

// ------------------------------------------- an effect with the extensions

class ExtensionEffectState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit = harness.open();
        ASSERT_TRUE(unit);
    }
    ComponentHarness harness{{.testEffect = true}};
    AudioUnit unit = nullptr;
};

TEST_F(ExtensionEffectState, ValueTextsGoThroughTheEffect)
{
    AudioUnitParameterValue value = 5.0f; // the mapping shows 0..10
    AudioUnitParameterStringFromValue toText{1, &value, nullptr};
    UInt32 size = sizeof(toText);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, &toText,
                                   &size),
              noErr);
    EXPECT_EQ(stringValue(toText.outString), "5.0 dB") << "leading spaces skipped";
    EXPECT_EQ(CFGetRetainCount(toText.outString), 1);
    CFRelease(toText.outString);

    toText = {1, nullptr, nullptr};
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, &toText,
                                   &size),
              noErr);
    EXPECT_EQ(stringValue(toText.outString), "1.25") << "without a value: the effect's display of the current value";
    CFRelease(toText.outString);

    toText = {4, &value, nullptr};
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, &toText,
                                   &size),
              kAudioUnitErr_InvalidParameter);

    AudioUnitParameterValueFromString toValue{2, CFSTR("7.5 dB"), -1.0f};
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &toValue,
                                   &size),
              noErr);
    EXPECT_FLOAT_EQ(toValue.outValue, 7.5f);
    toValue = {2, CFSTR("loud"), -1.0f};
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &toValue,
                                   &size),
              kInvalidProperty)
        << "the effect refused the text";
    toValue = {2, nullptr, -1.0f};
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &toValue,
                                   &size),
              kInvalidPropertyValue)
        << "no string at all";
    toValue = {4, CFSTR("1"), -1.0f};
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &toValue,
                                   &size),
              kAudioUnitErr_InvalidParameter);
    size = 23;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &toValue,
                                   &size),
              kInvalidPropertyValue);
}

TEST_F(ExtensionEffectState, BypassIsStoredAndPassedOn)
{
    UInt32 bypass = 7;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, 4), noErr);
    bypass = 0;
    UInt32 size = 4;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, &size), noErr);
    EXPECT_EQ(bypass, 1u);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, 3),
              kInvalidPropertyValue);
}

TEST_F(ExtensionEffectState, ElementNamesAreThePinLabelsRetainedForTheCaller)
{
    CFStringRef name = nullptr;
    UInt32 size = sizeof(name);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, &name, &size), noErr);
    EXPECT_EQ(stringValue(name), "Main In");
    const CFIndex held = CFGetRetainCount(name);
    CFStringRef again = nullptr;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, &again, &size), noErr);
    EXPECT_EQ(CFGetRetainCount(name), held + 1);
    CFRelease(again);
    CFRelease(name);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 0, &name, &size), noErr);
    EXPECT_EQ(stringValue(name), "Main Out");
    CFRelease(name);
}

TEST_F(ExtensionEffectState, AFailedClassInfoDoesNotSwitchPrograms)
{
    CFDictionaryRef good = classInfo(unit);
    const PresetState before = presetOf(unit);
    ASSERT_EQ(before.name, "Init");
    CFMutableDictionaryRef withoutRecord = mutableCopy(good, {"vstdata"});
    int32_t two = 2;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &two);
    CFDictionarySetValue(withoutRecord, CFSTR("ProgramNumber"), number);
    EXPECT_EQ(setClassInfo(unit, withoutRecord), kUnknownFailure);
    EXPECT_EQ(presetOf(unit), before) << "still program 0";

    CFMutableDictionaryRef damaged = mutableCopy(good);
    CFDictionarySetValue(damaged, CFSTR("ProgramNumber"), number);
    std::vector<uint8_t> record = dataBytes(good, "vstdata");
    record.resize(40);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, record.data(), static_cast<CFIndex>(record.size()));
    CFDictionarySetValue(damaged, CFSTR("vstdata"), data);
    EXPECT_EQ(setClassInfo(unit, damaged), kInvalidPropertyValue);
    EXPECT_EQ(presetOf(unit), before) << "the program is selected again when the record fails";

    CFMutableDictionaryRef fine = mutableCopy(good);
    CFDictionarySetValue(fine, CFSTR("ProgramNumber"), number);
    EXPECT_EQ(setClassInfo(unit, fine), noErr);
    CFDictionaryRef now = classInfo(unit);
    EXPECT_EQ(numberValue(now, "ProgramNumber"), 2);
    for (CFTypeRef object : {CFTypeRef(now), CFTypeRef(fine), CFTypeRef(data), CFTypeRef(damaged), CFTypeRef(number),
                             CFTypeRef(withoutRecord), CFTypeRef(good)})
        CFRelease(object);
}

TEST_F(ExtensionEffectState, ClassInfoCarriesTheCurrentProgramNumber)
{
    ASSERT_EQ(setPreset(unit, 1), noErr) << "factory preset Lead, made from program 1";
    CFDictionaryRef document = classInfo(unit);
    EXPECT_EQ(numberValue(document, "ProgramNumber"), 0) << "selecting a factory preset loads its record only";
    const std::vector<uint8_t> record = dataBytes(document, "vstdata");
    EXPECT_EQ(std::string(record.begin() + 8, record.begin() + 12), "FxCk");
    CFRelease(document);
}

} // namespace

namespace
{

TEST(PropertyListReader, BinaryListWithANulInsideAStringIsRefused)
{
    // Found by fuzz_class_info: libplist asserts on such strings.
    const std::vector<uint8_t> seed = readBytes(DC_SOURCE_DIR "/fuzz/auadapter/corpus-class-info/string-with-nul.bin");
    ASSERT_GT(seed.size(), 1u);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, seed.data() + 1, static_cast<CFIndex>(seed.size() - 1));
    CFStringRef error = nullptr;
    EXPECT_EQ(CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &error), nullptr);
    EXPECT_NE(stringValue(error).find("NUL"), std::string::npos) << stringValue(error);
    CFRelease(error);
    CFRelease(data);
}

} // namespace
