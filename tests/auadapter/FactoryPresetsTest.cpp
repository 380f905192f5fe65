// Factory presets: created from the effect's programs on the first open,
// listed in TWFactoryPresets.txt, offered through FactoryPresets and
// selected through CurrentPreset.
#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

struct Listed
{
    SInt32 number;
    std::string name;
    bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& l)
{
    return out << l.number << ":" << l.name;
}

std::vector<Listed> factoryPresets(AudioUnit unit)
{
    std::vector<Listed> listed;
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof(presets);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size) != noErr)
        return listed;
    for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i)
    {
        const auto* p = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
        listed.push_back({p->presetNumber, stringValue(p->presetName)});
    }
    CFRelease(presets);
    return listed;
}

std::string readText(const fs::path& file)
{
    const std::vector<uint8_t> bytes = readBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const fs::path& file, const std::string& text)
{
    writeBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
}

void recordNotice(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    static_cast<std::vector<AudioUnitPropertyID>*>(refCon)->push_back(id);
}

class FactoryPresets : public ::testing::Test
{
protected:
    void TearDown() override { unsetenv("TEST_EFFECT_PROGRAMS"); }
};

TEST_F(FactoryPresets, FirstOpenWritesDocumentsAndListFromThePrograms)
{
    setenv("TEST_EFFECT_PROGRAMS", "Init|Lead|Lead| Pad |Pad|   |Init", 1);
    ComponentHarness harness({.testEffect = true});
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    EXPECT_EQ(readText(harness.resources() / "TWFactoryPresets.txt"),
              "Init.aupreset\rLead.aupreset\rPad.aupreset\rInit.aupreset\r")
        << "repeats of the previous name and empty names are skipped";
    EXPECT_EQ(factoryPresets(unit), (std::vector<Listed>{{0, "Init"}, {1, "Lead"}, {2, "Pad"}, {3, "Init"}}));
    CFPropertyListRef lead = readPropertyListFile(harness.resources() / "Lead.aupreset");
    ASSERT_TRUE(lead);
    EXPECT_EQ(stringValue(CFDictionaryGetValue(static_cast<CFDictionaryRef>(lead), CFSTR("name"))), "Lead");
    CFRelease(lead);

    // A later open reads the list it finds and writes nothing.
    fs::remove(harness.resources() / "Pad.aupreset");
    writeText(harness.resources() / "TWFactoryPresets.txt", "Lead.aupreset\n");
    AudioUnit second = harness.open();
    ASSERT_TRUE(second);
    EXPECT_EQ(factoryPresets(second), (std::vector<Listed>{{0, "Lead"}}));
    EXPECT_FALSE(fs::exists(harness.resources() / "Pad.aupreset"));
}

TEST_F(FactoryPresets, SelectingOneLoadsItsStateAndAnnouncesBothPresets)
{
    ComponentHarness harness({.testEffect = true});
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    std::vector<AudioUnitPropertyID> notices;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_PresentPreset, recordNotice, &notices), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_CurrentPreset, recordNotice, &notices), noErr);
    AUPreset lead{1, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &lead, 4), noErr);
    EXPECT_EQ(notices, (std::vector<AudioUnitPropertyID>{kAudioUnitProperty_CurrentPreset, kAudioUnitProperty_PresentPreset}));
    AudioUnitParameterValue value = 0;
    ASSERT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_FLOAT_EQ(value, 3.75f) << "program 1's values (0.375 of 0..10)";
    AUPreset current{};
    UInt32 size = sizeof(current);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &current, &size), noErr);
    EXPECT_EQ(current.presetNumber, 1);
    EXPECT_EQ(stringValue(current.presetName), "Lead");
    CFRelease(current.presetName);
}

TEST_F(FactoryPresets, AtMost128AreReadAndCommentsTakeNoNumbers)
{
    ComponentHarness harness({.testEffect = true});
    AudioUnit first = harness.open();
    ASSERT_TRUE(first);
    std::string list = "; factory presets\r\n\r\n   \r   ;indented comment\n";
    for (int i = 0; i < 130; ++i)
        list += (i % 2 ? "Lead.aupreset" : "  Init.aupreset") + std::string(i % 3 ? "\r" : "\r\n");
    writeText(harness.resources() / "TWFactoryPresets.txt", list);
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    const std::vector<Listed> presets = factoryPresets(unit);
    ASSERT_EQ(presets.size(), 128u);
    EXPECT_EQ(presets.front(), (Listed{0, "Init"}));
    EXPECT_EQ(presets.back(), (Listed{127, "Lead"}));

    // The lines after the 128th are never opened: a missing document there
    // does not matter.
    writeText(harness.resources() / "TWFactoryPresets.txt", list + "Missing.aupreset\r");
    AudioUnit again = nullptr;
    EXPECT_EQ(harness.open(again), noErr);
}

TEST_F(FactoryPresets, BrokenListsAndDocumentsMakeOpenFail)
{
    ComponentHarness harness({.testEffect = true});
    ASSERT_TRUE(harness.open());
    struct Case
    {
        const char* what;
        std::string list;
        std::string document; // written as Broken.aupreset when not empty
        OSStatus expected;
    };
    const Case cases[] = {
        {"missing document", "Init.aupreset\rMissing.aupreset\r", "", fnfErr},
        {"not a property list", "Broken.aupreset\r", "not a plist", -32767},
        {"not a dictionary", "Broken.aupreset\r",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>", -32767},
        {"no vstdata", "Broken.aupreset\r",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key><string>x</string></dict></plist>", -32767},
        {"name of the wrong type", "Broken.aupreset\r",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key><integer>1</integer>"
         "<key>vstdata</key><data>AAAA</data></dict></plist>",
         -32767},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        writeText(harness.resources() / "TWFactoryPresets.txt", c.list);
        if (!c.document.empty())
            writeText(harness.resources() / "Broken.aupreset", c.document);
        AudioUnit unit = nullptr;
        EXPECT_EQ(harness.open(unit), c.expected);
        EXPECT_EQ(unit, nullptr);
    }

    // A document that loads as a list entry but holds a damaged record fails
    // only when it is selected.
    writeText(harness.resources() / "TWFactoryPresets.txt", "Broken.aupreset\r");
    writeText(harness.resources() / "Broken.aupreset",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key><string>Broken</string>"
              "<key>vstdata</key><data>AAAA</data></dict></plist>");
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    AUPreset broken{0, nullptr};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &broken, 4), eofErr);
}

TEST_F(FactoryPresets, EmptyListMeansNoFactoryPresets)
{
    ComponentHarness harness({.testEffect = true});
    ASSERT_TRUE(harness.open());
    writeText(harness.resources() / "TWFactoryPresets.txt", "; none\r");
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof(presets);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size),
              kAudioUnitErr_InvalidProperty);
    AUPreset first{0, nullptr};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &first, 4),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(FactoryPresets, OneBankDocumentWhenPresetIsFXB)
{
    ComponentHarness harness({.testEffect = true, .presetIsFXB = true});
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    const std::vector<uint8_t> list = readBytes(harness.resources() / "TWFactoryPresets.txt");
    EXPECT_EQ(std::string(list.begin(), list.end()), "FactoryPreset.aupreset\r");
    EXPECT_EQ(list.size(), 23u);
    EXPECT_EQ(factoryPresets(unit), (std::vector<Listed>{{0, "Default"}}));
    CFPropertyListRef document = readPropertyListFile(harness.resources() / "FactoryPreset.aupreset");
    ASSERT_TRUE(document);
    const std::vector<uint8_t> record = dataBytes(static_cast<CFDictionaryRef>(document), "vstdata");
    ASSERT_GE(record.size(), 12u);
    EXPECT_EQ(std::string(record.begin() + 8, record.begin() + 12), "FxBk");
    CFRelease(document);
}

TEST_F(FactoryPresets, PresetsThatCannotBeWrittenLeaveNothingAndAreHeldInMemory)
{
    // A program name the file system refuses stops the writing: the list
    // and the documents written before it are removed, so that the next open
    // tries again, and this one offers the presets all the same.
    setenv("TEST_EFFECT_PROGRAMS", "Init|Lead/Pad", 1);
    ComponentHarness harness({.testEffect = true});
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    EXPECT_FALSE(fs::exists(harness.resources() / "TWFactoryPresets.txt"));
    EXPECT_FALSE(fs::exists(harness.resources() / "Init.aupreset"));
    EXPECT_EQ(factoryPresets(unit), (std::vector<Listed>{{0, "Init"}, {1, "Lead/Pad"}}));
    AUPreset second{1, nullptr};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &second,
                                   sizeof(second)),
              noErr);
}

TEST_F(FactoryPresets, NamesBeyondAsciiFindTheirDocumentsAgain)
{
    // The list is written in Mac Roman (0x8E is e acute) and read back in it,
    // so a later open finds the document it wrote.
    setenv("TEST_EFFECT_PROGRAMS", "Caf\x8E|Na\x95ve", 1);
    ComponentHarness harness({.testEffect = true});
    ASSERT_TRUE(harness.open());
    EXPECT_TRUE(fs::exists(harness.resources() / u8"Caf\u00e9.aupreset"));
    EXPECT_EQ(readText(harness.resources() / "TWFactoryPresets.txt"), "Caf\x8E.aupreset\rNa\x95ve.aupreset\r");
    AudioUnit again = nullptr;
    ASSERT_EQ(harness.open(again), noErr);
    EXPECT_EQ(factoryPresets(again), (std::vector<Listed>{{0, "Caf\u00e9"}, {1, "Na\u00efve"}}));
}

} // namespace
