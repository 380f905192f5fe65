// Conversion of the VST preset files in the user's and the local preset
// folders into .aupreset documents, from a clean $HOME each time. Every
// file that was there before must come out unchanged.
#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <sys/xattr.h>

namespace fs = std::filesystem;

namespace
{

void putBig(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (24 - 8 * i)));
}

void putMagic(std::vector<uint8_t>& out, const char* magic)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(magic[i]));
}

constexpr uint32_t kTestEffectID = 0x54787445; // 'TxtE'

// A program record of the test effect (four parameters).
std::vector<uint8_t> programRecord(const std::string& name, float value)
{
    std::vector<uint8_t> r;
    putMagic(r, "CcnK");
    putBig(r, 48 + 16);
    putMagic(r, "FxCk");
    putBig(r, 1);
    putBig(r, kTestEffectID);
    putBig(r, 1);
    putBig(r, 4);
    std::vector<uint8_t> field(28, 0);
    std::memcpy(field.data(), name.data(), std::min<size_t>(name.size(), 24));
    r.insert(r.end(), field.begin(), field.end());
    for (int i = 0; i < 4; ++i)
        putBig(r, std::bit_cast<uint32_t>(value));
    return r;
}

std::vector<uint8_t> bankRecord(const std::vector<std::pair<std::string, float>>& programs)
{
    std::vector<uint8_t> body;
    for (const auto& [name, value] : programs)
    {
        const std::vector<uint8_t> p = programRecord(name, value);
        body.insert(body.end(), p.begin(), p.end());
    }
    std::vector<uint8_t> r;
    putMagic(r, "CcnK");
    putBig(r, static_cast<uint32_t>(156 - 8 + body.size()));
    putMagic(r, "FxBk");
    putBig(r, 1);
    putBig(r, kTestEffectID);
    putBig(r, 1);
    putBig(r, static_cast<uint32_t>(programs.size()));
    r.resize(156, 0);
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

void setFinderInfo(const fs::path& file, const char type[4], uint16_t flags)
{
    uint8_t info[32] = {};
    std::memcpy(info, type, 4);
    info[8] = uint8_t(flags >> 8);
    info[9] = uint8_t(flags);
    ASSERT_EQ(::setxattr(file.c_str(), "user.com.apple.FinderInfo", info, sizeof(info), 0), 0);
}

// A document written by the conversion: its name and record.
struct Document
{
    std::string name;
    std::vector<uint8_t> record;
    bool valid = false;
};

Document readDocument(const fs::path& file)
{
    Document d;
    CFPropertyListRef list = readPropertyListFile(file);
    if (!list)
        return d;
    if (CFGetTypeID(list) == CFDictionaryGetTypeID())
    {
        auto dictionary = static_cast<CFDictionaryRef>(list);
        d.name = stringValue(CFDictionaryGetValue(dictionary, CFSTR("name")));
        d.record = dataBytes(dictionary, "vstdata");
        d.valid = numberValue(dictionary, "version") == 1 && numberValue(dictionary, "type") == 0x61756D66 &&
                  numberValue(dictionary, "subtype") == 0x4B77517A && numberValue(dictionary, "manufacturer") == 0x54726E62;
    }
    CFRelease(list);
    return d;
}

class Conversion : public ::testing::Test
{
protected:
    void prepare(const BundleOptions& options)
    {
        harness = std::make_unique<ComponentHarness>(options);
        user = harness->userPresets();
        local = harness->localPresets();
        fs::create_directories(user);
    }
    // Opens an instance (which converts) and checks that every file that
    // was there before is still there, byte for byte.
    void convert()
    {
        auto before = snapshot(harness->home());
        auto localBefore = snapshot(harness->local());
        before.insert(localBefore.begin(), localBefore.end());
        AudioUnit unit = harness->open();
        ASSERT_TRUE(unit);
        harness->close(unit);
        auto after = snapshot(harness->home());
        auto localAfter = snapshot(harness->local());
        after.insert(localAfter.begin(), localAfter.end());
        for (const auto& [path, bytes] : before)
        {
            ASSERT_TRUE(after.count(path)) << path << " was removed";
            EXPECT_EQ(after[path], bytes) << path << " was changed";
        }
        written.clear();
        for (const auto& [path, bytes] : after)
            if (!before.count(path))
                written.insert(path);
    }

    std::unique_ptr<ComponentHarness> harness;
    fs::path user, local;
    std::set<fs::path> written;
    const std::vector<uint8_t> someBytes{'n', 'o', 't', ' ', 'c', 'h', 'e', 'c', 'k', 'e', 'd'};
};

TEST_F(Conversion, ProgramFileGainsADocumentOfItsBytesOnce)
{
    prepare({.testEffect = true});
    const std::vector<uint8_t> warm = programRecord("Warm", 0.5f);
    writeBytes(user / "Warm.fxp", warm);
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "Warm.aupreset"}));
    const Document document = readDocument(user / "Warm.aupreset");
    EXPECT_TRUE(document.valid);
    EXPECT_EQ(document.name, "Warm");
    EXPECT_EQ(document.record, warm) << "the file's bytes as they are";

    const std::vector<uint8_t> first = readBytes(user / "Warm.aupreset");
    convert();
    EXPECT_TRUE(written.empty()) << "a second run converts nothing";
    EXPECT_EQ(readBytes(user / "Warm.aupreset"), first);
}

TEST_F(Conversion, AnExistingDocumentIsNeverOverwritten)
{
    prepare({});
    writeBytes(user / "Cold.fxp", programRecord("Cold", 0.1f));
    writeBytes(user / "Cold.aupreset", someBytes);
    convert();
    EXPECT_TRUE(written.empty());
}

TEST_F(Conversion, RecognisesExtensionsAnyCaseTypeCodesAndSkipsInvisibleFiles)
{
    prepare({.testEffect = true});
    const std::vector<uint8_t> someBytes = programRecord("Some", 0.5f);
    writeBytes(user / "Upper.FXP", someBytes);
    writeBytes(user / "Mixed.FxP", someBytes);
    writeBytes(user / "TypedOnly", someBytes);
    setFinderInfo(user / "TypedOnly", "AFxP", 0);
    writeBytes(user / ".Hidden.fxp", someBytes);
    writeBytes(user / "Flagged.fxp", someBytes);
    setFinderInfo(user / "Flagged.fxp", "AFxP", 0x4000);
    writeBytes(user / "Other.txt", someBytes);
    fs::create_directories(user / "Folder.fxp");
    fs::create_directories(user / "Sub");
    writeBytes(user / "Sub" / "Deep.fxp", someBytes);
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "Upper.aupreset", user / "Mixed.aupreset", user / "TypedOnly.aupreset"}));
    EXPECT_EQ(readDocument(user / "TypedOnly.aupreset").name, "TypedOnly");
}

TEST_F(Conversion, BothDomainsAreConvertedAndFoldersAreCreatedBelowLibraryAudio)
{
    prepare({.testEffect = true});
    fs::remove_all(harness->home() / "Library" / "Audio" / "Presets");
    fs::create_directories(local);
    writeBytes(local / "Shared.fxp", programRecord("Shared", 0.5f));
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{local / "Shared.aupreset"}));
    EXPECT_TRUE(fs::is_directory(user)) << "Presets/Tarnby Audio/DitherCrunch made in the user domain";
}

TEST_F(Conversion, BankSplitsIntoOneDocumentPerDistinctProgramName)
{
    prepare({.testEffect = true});
    writeBytes(user / "Live.fxb", bankRecord({{"A", 0.25f}, {"A", 0.5f}, {"B", 0.75f}}));
    writeBytes(user / "LOUD.FXB", bankRecord({{"  Pad ", 0.25f}, {"Pad", 0.5f}, {"   ", 0.75f}}));
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "Live" / "A.aupreset", user / "Live" / "B.aupreset",
                                           user / "LOUD" / "Pad.aupreset"}));
    const Document a = readDocument(user / "Live" / "A.aupreset");
    EXPECT_EQ(a.name, "A");
    ASSERT_EQ(a.record.size(), 72u);
    EXPECT_EQ(std::string(a.record.begin() + 8, a.record.begin() + 12), "FxCk");
    const uint32_t bits = (uint32_t(a.record[56]) << 24) | (uint32_t(a.record[57]) << 16) | (uint32_t(a.record[58]) << 8) |
                          a.record[59];
    EXPECT_EQ(std::bit_cast<float>(bits), 0.25f) << "the first program of the name";

    convert();
    EXPECT_TRUE(written.empty()) << "the bank's folder marks it converted";
}

TEST_F(Conversion, SplittingABankLeavesTheEffectAsItWas)
{
    prepare({.testEffect = true});
    writeBytes(user / "Live.fxb", bankRecord({{"A", 0.25f}, {"B", 0.5f}, {"C", 0.75f}}));
    AudioUnit unit = harness->open();
    ASSERT_TRUE(unit);
    AUPreset preset{};
    UInt32 size = sizeof(preset);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, &size), noErr);
    EXPECT_EQ(stringValue(preset.presetName), "Init") << "the effect's own first program, not the bank's";
    EXPECT_TRUE(fs::exists(user / "Live" / "C.aupreset"));
}

TEST_F(Conversion, EmptyAndDamagedSourcesLeaveNothingAndTheGoodOnesAllConvert)
{
    prepare({.testEffect = true});
    fs::create_directories(local);
    const std::vector<uint8_t> good = programRecord("Good", 0.5f);
    std::vector<uint8_t> cut = good;
    cut.resize(60);
    std::vector<uint8_t> foreign = good;
    foreign[16] ^= 0xFF; // another plug-in's record
    // Sorted by name, the bad ones come first: each failure must let the
    // files after it be converted all the same.
    writeBytes(user / "A Empty.fxp", {});
    writeBytes(user / "B Garbage.fxp", someBytes);
    writeBytes(user / "C Cut.fxp", cut);
    writeBytes(user / "D Foreign.fxp", foreign);
    writeBytes(user / "Init 1.fxb", {});
    writeBytes(user / "Init 2.fxb", someBytes);
    writeBytes(user / "Init 3.fxb", bankRecord({{"  ", 0.25f}, {"", 0.5f}, {" ", 0.75f}}));
    writeBytes(user / "Live.fxb", bankRecord({{"A", 0.25f}, {"B", 0.5f}, {"B", 0.75f}}));
    writeBytes(user / "Warm.fxp", good);
    writeBytes(local / "Broken.fxb", someBytes);
    writeBytes(local / "Fine.fxp", good);
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "Live" / "A.aupreset", user / "Live" / "B.aupreset",
                                           user / "Warm.aupreset", local / "Fine.aupreset"}))
        << "every good source in the first run, nothing for the others";
    for (const char* name : {"A Empty", "B Garbage", "C Cut", "D Foreign", "Init 1", "Init 2", "Init 3"})
    {
        EXPECT_FALSE(fs::exists(user / name)) << name << ": no folder left behind";
        EXPECT_FALSE(fs::exists(user / (std::string(name) + ".aupreset"))) << name;
    }
    EXPECT_EQ(readDocument(user / "Warm.aupreset").record, good);

    convert();
    EXPECT_TRUE(written.empty()) << "a second run converts nothing";

    // A source that becomes good later is converted then.
    writeBytes(user / "A Empty.fxp", good);
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "A Empty.aupreset"}));
}

TEST_F(Conversion, WholeBanksWhenPresetIsFXB)
{
    prepare({.testEffect = true, .presetIsFXB = true});
    const std::vector<uint8_t> bank = bankRecord({{"A", 0.25f}, {"A", 0.5f}, {"B", 0.75f}});
    writeBytes(user / "Live.fxb", bank);
    writeBytes(user / "Warm.fxp", programRecord("Warm", 0.5f));
    writeBytes(user / "Typed", bank);
    setFinderInfo(user / "Typed", "AFxB", 0);
    convert();
    EXPECT_EQ(written, (std::set<fs::path>{user / "Live.aupreset", user / "Typed.aupreset"}));
    const Document live = readDocument(user / "Live.aupreset");
    EXPECT_EQ(live.name, "Live");
    EXPECT_EQ(live.record, bank);
}

TEST_F(Conversion, NothingHappensWhenTheBundleDoesNotConvert)
{
    prepare({.autoConvert = false});
    writeBytes(user / "Warm.fxp", someBytes);
    convert();
    EXPECT_TRUE(written.empty());
}

TEST_F(Conversion, VeryLongNamesKeepRoomForTheExtension)
{
    prepare({.testEffect = true});
    const std::string longName(250, 'x');
    writeBytes(user / (longName + ".fxp"), programRecord("x", 0.5f));
    convert();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written.begin()->filename().string(), std::string(246, 'x') + ".aupreset");
}

} // namespace
