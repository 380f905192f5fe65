#include "FakeEffect.h"
#include "RecordingHost.h"
#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/FxPreset.h"
#include "auadapter/VSTPlugIn.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

namespace
{

constexpr int32_t kFakeID = CCONST('F', 'a', 'k', 'e');

// Builds records byte by byte, independently of the writer under test.
struct Bytes
{
    std::vector<uint8_t> data;
    Bytes& i32(int32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            data.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
        return *this;
    }
    Bytes& f32(float v) { return i32(std::bit_cast<int32_t>(v)); }
    Bytes& name(const std::string& text)
    {
        std::vector<uint8_t> field(28, 0);
        std::memcpy(field.data(), text.data(), std::min<size_t>(text.size(), 28));
        data.insert(data.end(), field.begin(), field.end());
        return *this;
    }
    Bytes& zeros(size_t n)
    {
        data.insert(data.end(), n, 0);
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& bytes)
    {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& header(int32_t form, int32_t byteSize, int32_t id = kFakeID, int32_t version = 1)
    {
        return i32(kFxChunkMagic).i32(byteSize).i32(form).i32(version).i32(id).i32(7);
    }
};

Bytes program(const std::vector<float>& values, const std::string& programName = "Loaded", int32_t count = -1)
{
    Bytes b;
    const int32_t k = count < 0 ? static_cast<int32_t>(values.size()) : count;
    b.header(kFxProgramParams, 48 + 4 * static_cast<int32_t>(values.size())).i32(k).name(programName);
    for (float v : values)
        b.f32(v);
    return b;
}

Bytes bank(int32_t count, const std::vector<Bytes>& programs)
{
    Bytes body;
    for (const Bytes& p : programs)
        body.raw(p.data);
    Bytes b;
    b.header(kFxBankParams, static_cast<int32_t>(148 + body.data.size())).i32(count).zeros(128).raw(body.data);
    return b;
}

class FxPresetTest : public ::testing::Test
{
protected:
    void SetUp() override { gEntryScript = EntryScript{}; }

    std::unique_ptr<VSTPlugIn> openFake(FakeEffect& fake)
    {
        gEntryScript.effect = &fake;
        CodeBundle* bundle = InProcessBundle::create({{"VSTPluginMain", reinterpret_cast<void*>(&fakeEntryPoint)}});
        auto plugIn = std::make_unique<VSTPlugIn>(host, bundle, 44100.0f, 512);
        bundle->release();
        plugIn->open();
        fake.opcodes.clear();
        return plugIn;
    }

    bool load(const std::vector<uint8_t>& data) { return plugIn->loadFXPOrFXB(data.size(), data.data()); }

    std::string failure(const std::vector<uint8_t>& data)
    {
        try
        {
            load(data);
        }
        catch (const EOFException& e)
        {
            return std::string("EOF: ") + e.what();
        }
        catch (const FormatException& e)
        {
            return std::string("Format: ") + e.what();
        }
        return "no failure";
    }

    RecordingHost host;
    FakeEffect fake{3, 4, false};
    std::unique_ptr<VSTPlugIn> plugIn = openFake(fake);
};

TEST(ReadBigInt32, ReadsMostSignificantByteFirstAndStopsAtTheEnd)
{
    const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFE, 0x01, 0x02, 0x03};
    int32_t value = 0;
    EXPECT_EQ(readBigInt32(bytes, bytes + 7, value), bytes + 4);
    EXPECT_EQ(value, -2);
    EXPECT_THROW(readBigInt32(bytes + 4, bytes + 7, value), EOFException);
    EXPECT_THROW(readBigInt32(bytes + 7, bytes + 4, value), EOFException);
    uint8_t out[4];
    writeBigInt32(out, 0x01020304);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3], 4);
}

TEST_F(FxPresetTest, ProgramRecordInParameterFormHasTheExactLayout)
{
    fake.values[0] = {0.0f, 0.25f, 1.0f, 0.5f};
    fake.programNames[0] = "Lead";
    size_t length = 0;
    auto record = plugIn->createFXP(length);
    const Bytes expected = program({0.0f, 0.25f, 1.0f, 0.5f}, "Lead");
    ASSERT_EQ(length, 72u);
    std::vector<uint8_t> bytes(record.get(), record.get() + length);
    Bytes withVersion = expected;
    withVersion.data[23] = 3; // the effect's version
    EXPECT_EQ(bytes, withVersion.data);
}

TEST_F(FxPresetTest, ProgramNamesAreCutTo24CharactersWhenWritten)
{
    for (const auto& [name, written] : {std::pair<std::string, std::string>{std::string(24, 'a'), std::string(24, 'a')},
                                        {std::string(30, 'b'), std::string(24, 'b')}})
    {
        fake.programNames[0] = name;
        size_t length = 0;
        auto record = plugIn->createFXP(length);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.get() + 28)), written);
        EXPECT_EQ(record[28 + 24], 0);
    }
}

TEST_F(FxPresetTest, ParameterBankRoundTripsIntoAnotherInstance)
{
    fake.values = {{0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, {0.9f, 1.0f, 0.0f, 0.25f}};
    fake.programNames = {"One", "Two", "Three"};
    plugIn->setCurrentProgram(1);
    size_t length = 0;
    auto record = plugIn->createFXB(length);
    ASSERT_EQ(length, 156u + 3u * 72u);
    EXPECT_EQ(fake.currentProgram, 1) << "the current program is selected again";

    FakeEffect other{3, 4, false};
    auto otherPlugIn = openFake(other);
    otherPlugIn->setCurrentProgram(2);
    EXPECT_TRUE(otherPlugIn->loadFXPOrFXB(length, record.get()));
    EXPECT_EQ(other.values, fake.values);
    EXPECT_EQ(other.programNames, fake.programNames);
    EXPECT_EQ(other.currentProgram, 2);
    EXPECT_EQ(other.count(effBeginSetProgram), 3);
    EXPECT_EQ(other.count(effEndSetProgram), 3);
}

TEST_F(FxPresetTest, ChunkRecordsCarryTheEffectsChunkAndLoadBack)
{
    FakeEffect chunky{1, 9, true};
    auto chunkPlugIn = openFake(chunky);
    chunky.programNames[0] = "Crunchy";
    size_t length = 0;
    auto fxp = chunkPlugIn->createFXP(length);
    ASSERT_EQ(length, 63u);
    EXPECT_EQ(std::vector<uint8_t>(fxp.get() + 8, fxp.get() + 12), (std::vector<uint8_t>{'F', 'P', 'C', 'h'}));
    EXPECT_EQ(fxp[23], 3) << "plug-in version";
    EXPECT_EQ(fxp[27], 9) << "parameter count";
    EXPECT_EQ(fxp[59], 3) << "chunk length";
    chunky.programNames[0] = "changed";
    EXPECT_TRUE(chunkPlugIn->loadFXPOrFXB(length, fxp.get()));
    EXPECT_EQ(chunky.receivedChunk, chunky.programChunk);
    EXPECT_EQ(chunky.receivedChunkIndex, 1);
    EXPECT_EQ(chunky.programNames[0], "Crunchy");

    auto fxb = chunkPlugIn->createFXB(length);
    ASSERT_EQ(length, 164u);
    EXPECT_EQ(fxb[27], 1) << "program count";
    EXPECT_TRUE(chunkPlugIn->loadFXPOrFXB(length, fxb.get()));
    EXPECT_EQ(chunky.receivedChunk, chunky.bankChunk);
    EXPECT_EQ(chunky.receivedChunkIndex, 0);

    chunky.setChunkAnswer = 0;
    EXPECT_FALSE(chunkPlugIn->loadFXPOrFXB(length, fxb.get())) << "a refused chunk is no exception";
    chunky.throwEverywhere = true;
    EXPECT_FALSE(chunkPlugIn->loadFXPOrFXB(length, fxb.get()));
}

TEST_F(FxPresetTest, MissingChunkFailsTheWriteAndLeavesNoRecord)
{
    FakeEffect chunky{1, 9, true};
    auto chunkPlugIn = openFake(chunky);
    for (auto spoil : std::vector<std::function<void()>>{[&] { chunky.programChunk.clear(), chunky.bankChunk.clear(); },
                                                         [&] { chunky.programChunk = {1}, chunky.bankChunk = {1}, chunky.chunkIsNull = true; },
                                                         [&] { chunky.chunkIsNull = false, chunky.throwEverywhere = true; }})
    {
        spoil();
        size_t length = 99;
        try
        {
            chunkPlugIn->createFXP(length);
            ADD_FAILURE();
        }
        catch (const TwinfoldException& e)
        {
            EXPECT_STREQ(e.what(), "VST could not create chunk for FXP");
        }
        EXPECT_EQ(length, 0u);
        length = 99;
        try
        {
            chunkPlugIn->createFXB(length);
            ADD_FAILURE();
        }
        catch (const TwinfoldException& e)
        {
            EXPECT_STREQ(e.what(), "VST could not create chunk for FXB");
        }
        EXPECT_EQ(length, 0u);
    }
}

TEST_F(FxPresetTest, FewerValuesThanParametersSetTheRestToZero)
{
    EXPECT_FALSE(load(program({0.75f, 0.5f}).data));
    EXPECT_EQ(fake.values[0], (std::vector<float>{0.75f, 0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(fake.programNames[0], "Loaded");
}

TEST_F(FxPresetTest, MoreValuesThanParametersIgnoreTheSurplus)
{
    EXPECT_FALSE(load(program({0.1f, 0.2f, 0.3f, 0.4f, 0.9f, 0.9f}).data));
    EXPECT_EQ(fake.values[0], (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
}

struct ValueCase
{
    float stored;
    float applied;
    bool exact;
};

class FxValueTest : public FxPresetTest, public ::testing::WithParamInterface<ValueCase>
{
};

TEST_P(FxValueTest, ValuesOutsideTheRangeAreClampedAndReported)
{
    const ValueCase c = GetParam();
    EXPECT_EQ(load(program({c.stored, 0.5f, 0.5f, 0.5f}).data), c.exact);
    EXPECT_EQ(fake.setParameterCalls.at(0).second, c.applied);
}

INSTANTIATE_TEST_SUITE_P(Values, FxValueTest,
                         ::testing::Values(ValueCase{0.0f, 0.0f, true}, ValueCase{1.0f, 1.0f, true}, ValueCase{1.5f, 1.0f, false},
                                           ValueCase{-0.25f, 0.0f, false}, ValueCase{-0.0f, -0.0f, true},
                                           ValueCase{std::numeric_limits<float>::infinity(), 1.0f, false},
                                           ValueCase{-std::numeric_limits<float>::infinity(), 0.0f, false},
                                           ValueCase{std::numeric_limits<float>::quiet_NaN(), 0.0f, false},
                                           ValueCase{-std::numeric_limits<float>::signaling_NaN(), 0.0f, false}));

TEST_F(FxPresetTest, BankWithMoreProgramsLoadsOnlyTheEffectsCount)
{
    std::vector<Bytes> programs;
    for (int p = 0; p < 5; ++p)
        programs.push_back(program({0.1f * p, 0.0f, 0.0f, 0.0f}, "P" + std::to_string(p)));
    EXPECT_FALSE(load(bank(5, programs).data));
    EXPECT_EQ(fake.programNames, (std::vector<std::string>{"P0", "P1", "P2"}));
}

TEST_F(FxPresetTest, BankWithFewerProgramsLeavesTheOthersUnchanged)
{
    EXPECT_FALSE(load(bank(2, {program({1, 1, 1, 1}, "A"), program({0, 0, 0, 0}, "B")}).data));
    EXPECT_EQ(fake.programNames, (std::vector<std::string>{"A", "B", "Program 2"}));
    EXPECT_EQ(fake.values[2], (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(FxPresetTest, BankProgramsWithSurplusValuesAllLoad)
{
    std::vector<Bytes> programs;
    for (int p = 0; p < 3; ++p)
        programs.push_back(program({0.25f * p, 0.5f, 0.5f, 0.5f, 0.9f, 0.9f}, "S" + std::to_string(p)));
    EXPECT_FALSE(load(bank(3, programs).data));
    EXPECT_EQ(fake.programNames, (std::vector<std::string>{"S0", "S1", "S2"}));
    EXPECT_EQ(fake.values[2][0], 0.5f);
}

TEST_F(FxPresetTest, FailureInsideABankSelectsTheRememberedProgramAgain)
{
    plugIn->setCurrentProgram(2);
    Bytes b = bank(3, {program({1, 1, 1, 1}, "A"), program({0, 0, 0, 0}, "B")});
    EXPECT_EQ(failure(b.data), "EOF: End of file error");
    EXPECT_EQ(fake.currentProgram, 2);
    EXPECT_EQ(fake.programNames[0], "A") << "programs read before the failure stay changed";
    EXPECT_EQ(fake.count(effBeginSetProgram), fake.count(effEndSetProgram));
}

struct BadRecord
{
    const char* what;
    std::function<std::vector<uint8_t>()> make;
    const char* failure;
};

class FxFailureTest : public FxPresetTest, public ::testing::WithParamInterface<BadRecord>
{
};

TEST_P(FxFailureTest, IsRejectedWithoutTouchingTheEffect)
{
    const std::vector<uint8_t> data = GetParam().make();
    EXPECT_EQ(failure(data), GetParam().failure);
    EXPECT_TRUE(fake.setParameterCalls.empty());
    EXPECT_EQ(fake.count(effSetChunk), 0);
    EXPECT_EQ(fake.count(effSetProgramName), 0);
}

std::vector<uint8_t> cut(std::vector<uint8_t> data, size_t length)
{
    data.resize(length);
    return data;
}

std::vector<uint8_t> patched(std::vector<uint8_t> data, size_t at, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (24 - 8 * i));
    return data;
}

const std::vector<uint8_t> kGoodProgram = program({0.5f, 0.5f, 0.5f, 0.5f}).data;
Bytes chunkProgram(int32_t chunkLength, size_t present)
{
    Bytes b;
    b.header(kFxProgramChunk, static_cast<int32_t>(52 + present)).i32(4).name("C").i32(chunkLength).zeros(present);
    return b;
}
Bytes chunkBank(int32_t chunkLength, size_t present)
{
    Bytes b;
    b.header(kFxBankChunk, static_cast<int32_t>(152 + present)).i32(1).zeros(128).i32(chunkLength).zeros(present);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    FailureTable, FxFailureTest,
    ::testing::Values(
        BadRecord{"Empty", [] { return std::vector<uint8_t>{}; }, "EOF: End of file error"},
        BadRecord{"TwentyThreeBytes", [] { return cut(kGoodProgram, 23); }, "EOF: End of file error"},
        BadRecord{"HeaderOnly", [] { return cut(kGoodProgram, 24); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"WrongChunkMagic", [] { return patched(kGoodProgram, 0, CCONST('C', 'c', 'n', 'k')); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"FormatVersion2", [] { return patched(kGoodProgram, 12, 2); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"BankFormatVersion2", [] { return patched(bank(3, {}).data, 12, 2); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"OtherPlugIn", [] { return patched(kGoodProgram, 16, CCONST('K', 'w', 'Q', 'z')); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"ByteSizeBeyondData", [] { return patched(kGoodProgram, 4, 48 + 16 + 1); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"HugeByteSize", [] { return patched(kGoodProgram, 4, std::numeric_limits<int32_t>::max()); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"UnknownForm", [] { return patched(kGoodProgram, 8, CCONST('F', 'x', 'C', 'c')); }, "Format: Invalid format of FXP / FXB data"},
        BadRecord{"NameFieldCut", [] { return cut(patched(kGoodProgram, 4, 20), 40); }, "EOF: End of file error"},
        BadRecord{"ChunkNameFieldCut", [] { return cut(patched(chunkProgram(0, 0).data, 4, 40), 50); }, "EOF: End of file error"},
        BadRecord{"ProgramChunkPastEnd", [] { return chunkProgram(9, 8).data; }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"ProgramChunkNegative", [] { return chunkProgram(-1, 8).data; }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"ProgramChunkHuge", [] { return chunkProgram(std::numeric_limits<int32_t>::max(), 8).data; }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"BankChunkPastEnd", [] { return chunkBank(5, 4).data; }, "EOF: Unexpected end of file in FXB data"},
        BadRecord{"BankChunkNegative", [] { return chunkBank(std::numeric_limits<int32_t>::min(), 4).data; }, "EOF: Unexpected end of file in FXB data"},
        BadRecord{"BankChunkLengthMissing", [] { return cut(patched(chunkBank(0, 0).data, 4, 100), 158); }, "EOF: End of file error"},
        BadRecord{"BankProgramOfOtherPlugIn", [] { return bank(3, {Bytes{patched(kGoodProgram, 16, CCONST('K', 'w', 'Q', 'z'))}}).data; }, "Format: Invalid format of FXP / FXB data"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(FxPresetTest, NameFieldAtTheVeryEndIsReadButNothingBeyond)
{
    // No parameters: the record ends right after its name field.
    FakeEffect bare{1, 0, false};
    auto barePlugIn = openFake(bare);
    Bytes b;
    b.header(kFxProgramParams, 48).i32(0).name(std::string(28, 'n'));
    ASSERT_EQ(b.data.size(), 56u);
    EXPECT_TRUE(barePlugIn->loadFXPOrFXB(b.data.size(), b.data.data()));
    EXPECT_EQ(bare.programNames[0], std::string(24, 'n'));
    b.data[7] = 40; // byte size that fits the shorter data
    EXPECT_THROW(barePlugIn->loadFXPOrFXB(55, b.data.data()), EOFException);
}

} // namespace
