// The mapping file's reader, line reader, generator line and scaling.
#include "auadapter/EOFException.h"
#include "auadapter/ParameterMapping.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/TwinfoldException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::string cfText(CFStringRef text)
{
    char buffer[1024] = {};
    if (!text || !CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        return "<null>";
    return buffer;
}

// The tables of one effect with `count` parameters, filled from `file`.
struct Mapping
{
    explicit Mapping(const std::string& file, int32_t count = 8)
        : infos(static_cast<size_t>(count)), strings(static_cast<size_t>(count), nullptr)
    {
        tables = ParameterTables{count, &listCount, list.data(), infos.data(), strings.data()};
        try
        {
            parseParameterMapping(reinterpret_cast<const uint8_t*>(file.data()), file.size(), tables);
        }
        catch (...)
        {
            releaseParameterTables(tables); // what was read before the failure
            throw;
        }
    }
    ~Mapping() { releaseParameterTables(tables); }
    std::vector<UInt32> ids() const { return std::vector<UInt32>(list.begin(), list.begin() + listCount); }
    std::vector<std::string> values(int32_t id) const
    {
        std::vector<std::string> out;
        if (CFArrayRef a = strings[static_cast<size_t>(id)])
            for (CFIndex i = 0; i < CFArrayGetCount(a); ++i)
                out.push_back(cfText(static_cast<CFStringRef>(CFArrayGetValueAtIndex(a, i))));
        return out;
    }

    int32_t listCount = 0;
    std::vector<UInt32> list = std::vector<UInt32>(1024);
    std::vector<AudioUnitParameterInfo> infos;
    std::vector<CFArrayRef> strings;
    ParameterTables tables;
};

const std::string kHeader = "vst param #\tname\tmin\tmax\tdisplay\tunit\tdefault\r";
constexpr UInt32 kBaseFlags =
    kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString;

TEST(ParameterMapping, MetaParameterWithCustomUnit)
{
    Mapping m(kHeader + "3+\tDrive\t0\t100\t=\t%\t50\r");
    ASSERT_EQ(m.ids(), std::vector<UInt32>{3});
    const AudioUnitParameterInfo& info = m.infos[3];
    EXPECT_STREQ(info.name, "Drive");
    EXPECT_EQ(cfText(info.cfNameString), "Drive");
    EXPECT_EQ(cfText(info.unitName), "%");
    EXPECT_EQ(info.unit, kAudioUnitParameterUnit_CustomUnit);
    EXPECT_EQ(info.minValue, 0.0f);
    EXPECT_EQ(info.maxValue, 100.0f);
    EXPECT_EQ(info.defaultValue, 50.0f);
    EXPECT_EQ(info.flags, kBaseFlags | kAudioUnitParameterFlag_IsGlobalMeta);
    EXPECT_EQ(info.clumpID, 0u);
}

TEST(ParameterMapping, IndexedListWithoutUnitName)
{
    Mapping m(kHeader + "5\tMode\t0\t2\tLow|Mid|High\t-\t1\r");
    const AudioUnitParameterInfo& info = m.infos[5];
    EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Indexed);
    EXPECT_EQ(info.minValue, 0.0f);
    EXPECT_EQ(info.maxValue, 2.0f);
    EXPECT_EQ(info.unitName, nullptr);
    EXPECT_EQ(m.values(5), (std::vector<std::string>{"Low", "Mid", "High"}));
}

struct DisplayCase
{
    const char* display;
    const char* unit;
    AudioUnitParameterUnit expectedUnit;
    float min, max;
    UInt32 extraFlags;
    bool unitNamed;
};

class DisplayKinds : public ::testing::TestWithParam<DisplayCase>
{
};

TEST_P(DisplayKinds, SetUnitRangeAndFlags)
{
    const DisplayCase& c = GetParam();
    Mapping m(kHeader + "0\tP\t-5\t5\t" + c.display + "\t" + c.unit + "\t0\r");
    ASSERT_EQ(m.ids().size(), 1u);
    const AudioUnitParameterInfo& info = m.infos[0];
    EXPECT_EQ(info.unit, c.expectedUnit);
    EXPECT_EQ(info.minValue, c.min);
    EXPECT_EQ(info.maxValue, c.max);
    EXPECT_EQ(info.flags, kBaseFlags | c.extraFlags);
    EXPECT_EQ(info.unitName != nullptr, c.unitNamed);
}

INSTANTIATE_TEST_SUITE_P(
    All, DisplayKinds,
    ::testing::Values(DisplayCase{"=", "dB", kAudioUnitParameterUnit_CustomUnit, -5, 5, 0, true},
                      DisplayCase{"=", "-", kAudioUnitParameterUnit_Generic, -5, 5, 0, false},
                      DisplayCase{"?", "Hz", kAudioUnitParameterUnit_CustomUnit, -5, 5, kAudioUnitParameterFlag_ValuesHaveStrings, true},
                      DisplayCase{"  ?", "-", kAudioUnitParameterUnit_Generic, -5, 5, kAudioUnitParameterFlag_ValuesHaveStrings, false},
                      DisplayCase{"b", "-", kAudioUnitParameterUnit_Boolean, 0, 1, 0, false},
                      // A unit name stays even when the display kind sets the unit.
                      DisplayCase{"b", "on", kAudioUnitParameterUnit_Boolean, 0, 1, 0, true},
                      DisplayCase{"Only", "-", kAudioUnitParameterUnit_Indexed, 0, 0, 0, false},
                      DisplayCase{"a|b", "x", kAudioUnitParameterUnit_Indexed, 0, 1, 0, true}));

class IgnoredLines : public ::testing::TestWithParam<const char*>
{
};

TEST_P(IgnoredLines, AreSkippedSilently)
{
    Mapping m(kHeader + GetParam() + "\r1\tKept\t0\t1\t=\t-\t0\r");
    EXPECT_EQ(m.ids(), std::vector<UInt32>{1});
}

INSTANTIATE_TEST_SUITE_P(All, IgnoredLines,
                         ::testing::Values("0\tDefault above max\t0\t1\t=\t-\t2",   //
                                           "0\tDefault below min\t0\t1\t=\t-\t-1",  //
                                           "0\tEqual range\t1\t1\t=\t-\t1",         //
                                           "0\tFalling\t10\t0\t=\t-\t5",            //
                                           "0\tSix fields\t0\t1\t=\t-",             //
                                           "8\tIndex = count\t0\t1\t=\t-\t0",       //
                                           "-1\tNegative\t0\t1\t=\t-\t0",           //
                                           "0\tSpace after number\t0 \t1\t=\t-\t0", //
                                           "0\tSpace after max\t0\t1 \t=\t-\t0",    //
                                           "0\tBlank display\t0\t1\t   \t-\t0",     //
                                           "0\tNaN bound\t0\tnan\t=\t-\t0",         //
                                           "0\tInfinite range\t-inf\tinf\t=\t-\t0", //
                                           "0\tNot a number\t0\tx\t=\t-\t0",        //
                                           "999999999999999999999\tHuge\t0\t1\t=\t-\t0",
                                           "012345678901234567890123456789012345\tLong token\t0\t1\t=\t-\t0", //
                                           "; 0\tComment\t0\t1\t=\t-\t0",                                       //
                                           "   ",                                                             //
                                           ""));

TEST(ParameterMapping, FirstValidLineForAParameterWins)
{
    Mapping m(kHeader + "2\tBad\t1\t0\t=\t-\t0\r2\tFirst\t0\t1\t=\t-\t0\r2\tSecond\t0\t9\t=\t-\t0\r");
    EXPECT_EQ(m.ids(), std::vector<UInt32>{2});
    EXPECT_STREQ(m.infos[2].name, "First");
}

TEST(ParameterMapping, ListFollowsFileOrderAndUnmappedStayEmpty)
{
    Mapping m(kHeader + "4\tD\t0\t1\t=\t-\t0\r  0\tA\t0\t1\t=\t-\t0\r6\tG\t0\t1\t=\t-\t0\r");
    EXPECT_EQ(m.ids(), (std::vector<UInt32>{4, 0, 6}));
    EXPECT_STREQ(m.infos[1].name, "");
    EXPECT_EQ(m.infos[1].flags, 0u);
}

TEST(ParameterMapping, SpacesBeforeNumbersAndDisplayAreAccepted)
{
    Mapping m(kHeader + "1\t Name with spaces \t  -24\t  24\t   =\tdB\t 0\r");
    ASSERT_EQ(m.ids(), std::vector<UInt32>{1});
    EXPECT_STREQ(m.infos[1].name, " Name with spaces ");
    EXPECT_EQ(m.infos[1].minValue, -24.0f);
    EXPECT_EQ(m.infos[1].unit, kAudioUnitParameterUnit_CustomUnit);
}

TEST(ParameterMapping, RunsOfTabsSeparateFields)
{
    Mapping m(kHeader + "1\t\t\tN\t\t0\t\t1\t\t=\t\t-\t\t0\r");
    EXPECT_EQ(m.ids(), std::vector<UInt32>{1});
}

TEST(ParameterMapping, LongNameKeepsFiftyOneCharactersInTheCName)
{
    const std::string name(80, 'n');
    Mapping m(kHeader + "0\t" + name + "\t0\t1\t=\t-\t0\r");
    EXPECT_EQ(std::string(m.infos[0].name), name.substr(0, 51));
    EXPECT_EQ(cfText(m.infos[0].cfNameString), name);
}

TEST(ParameterMapping, ElementMetaForListPositions23To39)
{
    std::string file = kHeader;
    for (int i = 0; i < 45; ++i)
        file += std::to_string(i) + "\tP\t0\t1\t=\t-\t0\r";
    Mapping m(file, 45);
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ((m.infos[static_cast<size_t>(i)].flags & kAudioUnitParameterFlag_IsElementMeta) != 0, i >= 23 && i <= 39) << i;
}

TEST(ParameterMapping, LineEndingsReadAlike)
{
    for (const char* end : {"\r", "\n", "\r\n"})
    {
        std::string file = std::string("header") + end + "0\tA\t0\t1\t=\t-\t0" + end + "1\tB\t0\t1\t=\t-\t0" + end;
        Mapping m(file);
        EXPECT_EQ(m.ids(), (std::vector<UInt32>{0, 1})) << "line end " << static_cast<int>(end[0]);
    }
}

TEST(ParameterMapping, EmptyFileIsEndOfFile)
{
    EXPECT_THROW(Mapping m(""), EOFException);
    // A header alone maps nothing.
    Mapping m(kHeader);
    EXPECT_TRUE(m.ids().empty());
}

TEST(ParameterMapping, MoreThan1024MappedParametersFail)
{
    std::string file = kHeader;
    for (int i = 0; i < 1025; ++i)
        file += std::to_string(i) + "\tP\t0\t1\t=\t-\t0\r";
    try
    {
        Mapping m(file, 1100);
        FAIL() << "no exception";
    }
    catch (const EOFException&)
    {
        FAIL() << "wrong kind";
    }
    catch (const TwinfoldException& e)
    {
        EXPECT_STREQ(e.what(), "Too many mapped parameters");
    }
}

TEST(ReadLine, SplitsAtEveryLineEndKind)
{
    const std::string data = "a\rb\nc\r\nd";
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    const auto* end = p + data.size();
    char line[kLineBufferSize];
    std::vector<std::string> lines;
    while (p < end)
    {
        p = readLine(p, end, line);
        lines.emplace_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_THROW(readLine(p, end, line), EOFException);
}

TEST(ReadLine, LongLineKeepsItsFirst2047Characters)
{
    const std::string data = std::string(3000, 'x') + "\rnext";
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    char line[kLineBufferSize];
    p = readLine(p, p + data.size(), line);
    EXPECT_EQ(std::string(line), std::string(2047, 'x'));
    p = readLine(p, reinterpret_cast<const uint8_t*>(data.data()) + data.size(), line);
    EXPECT_STREQ(line, "next");
}

TEST(Scaling, IndexedRoundsToNearestAndContinuousIsLinear)
{
    AudioUnitParameterInfo indexed{};
    indexed.unit = kAudioUnitParameterUnit_Indexed;
    indexed.maxValue = 3.0f;
    EXPECT_EQ(scaleToAUParameter(indexed, 0.5f), 2.0f);
    EXPECT_EQ(scaleToAUParameter(indexed, 0.49f), 1.0f);
    EXPECT_EQ(scaleToAUParameter(indexed, 1.0f), 3.0f);

    AudioUnitParameterInfo gain{};
    gain.unit = kAudioUnitParameterUnit_CustomUnit;
    gain.minValue = -24.0f;
    gain.maxValue = 24.0f;
    EXPECT_EQ(scaleToAUParameter(gain, 0.25f), -12.0f);
    EXPECT_EQ(scaleFromAUParameter(gain, -12.0f), 0.25f);
    EXPECT_GT(scaleFromAUParameter(gain, 30.0f), 1.0f); // not clamped

    AudioUnitParameterInfo single{};
    single.unit = kAudioUnitParameterUnit_Indexed;
    EXPECT_EQ(scaleFromAUParameter(single, 0.0f), 0.0f); // no division by a zero range
}

struct ProbeCase
{
    const char *current, *at0, *half, *at1;
    bool extensions;
    const char* expected;
};

class DefaultLines : public ::testing::TestWithParam<ProbeCase>
{
};

TEST_P(DefaultLines, AreLinearOnlyWhenTheMidpointFits)
{
    const ProbeCase& c = GetParam();
    ProbedParameter p{7, "  Gain", " dB", c.current, c.at0, c.half, c.at1, 0.5f};
    char line[256];
    formatDefaultMappingLine(p, c.extensions, line, sizeof(line));
    EXPECT_STREQ(line, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, DefaultLines,
    ::testing::Values(ProbeCase{"0", "-24", "0", "24", false, "7\tGain\t-24\t24\t=\tdB\t0\r"},
                      ProbeCase{"-6", "-24", "-6", "24", false, "7\tGain\t0\t1\t=\t-\t0.5\r"},
                      ProbeCase{"-6", "-24", "-6", "24", true, "7\tGain\t0\t1\t?\tdB\t0.5\r"},
                      // A number followed by a unit is not a number.
                      ProbeCase{"0", "-24 dB", "0 dB", "24 dB", false, "7\tGain\t0\t1\t=\t-\t0.5\r"},
                      ProbeCase{"5", "10", "5", "0", false, "7\tGain\t10\t0\t=\tdB\t5\r"},
                      ProbeCase{" 0.5", " 0", " 0.50005", " 1", false, "7\tGain\t0\t1\t=\tdB\t0.5\r"},
                      ProbeCase{"", "", "", "", false, "7\tGain\t0\t1\t=\t-\t0.5\r"}));

TEST(DefaultLines, EmptyNameAndLabelBecomeDashes)
{
    ProbedParameter p{0, "   ", "", "1", "0", "0.5", "1", 1.0f};
    char line[256];
    formatDefaultMappingLine(p, false, line, sizeof(line));
    EXPECT_STREQ(line, "0\t-\t0\t1\t=\t-\t1\r");
}

} // namespace
