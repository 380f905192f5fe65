#include "FakeEffect.h"
#include "RecordingHost.h"
#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/FxPreset.h"
#include "auadapter/VSTPlugIn.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

namespace
{

using Data = std::vector<uint8_t>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// Records built byte by byte, independently of the writer under test.
struct Bytes
{
    Data data;
    Bytes& i32(int32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            data.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
        return *this;
    }
    Bytes& name(const std::string& text)
    {
        data.insert(data.end(), text.begin(), text.end());
        return zeros(28 - text.size());
    }
    Bytes& zeros(size_t n) { return data.insert(data.end(), n, 0), *this; }
    Bytes& header(int32_t form, size_t recordLength)
    {
        return i32(kFxChunkMagic).i32(static_cast<int32_t>(recordLength - 8)).i32(form).i32(1).i32(CCONST('F', 'a', 'k', 'e')).i32(7);
    }
};

Data program(const std::vector<float>& values, const std::string& programName = "Loaded")
{
    Bytes b;
    b.header(kFxProgramParams, 56 + 4 * values.size()).i32(static_cast<int32_t>(values.size())).name(programName);
    for (float v : values)
        b.i32(std::bit_cast<int32_t>(v));
    return b.data;
}

Data bank(int32_t count, const std::vector<Data>& programs)
{
    Bytes b;
    size_t length = 156;
    for (const Data& p : programs)
        length += p.size();
    b.header(kFxBankParams, length).i32(count).zeros(128);
    for (const Data& p : programs)
        b.data.insert(b.data.end(), p.begin(), p.end());
    return b.data;
}

Data chunkRecord(bool isBank, int32_t chunkLength, size_t present)
{
    Bytes b;
    b.header(isBank ? kFxBankChunk : kFxProgramChunk, (isBank ? 160 : 60) + present).i32(1);
    (isBank ? b.zeros(128) : b.name("C")).i32(chunkLength).zeros(present);
    return b.data;
}

Data patched(Data data, size_t at, int32_t value, size_t cutTo = SIZE_MAX)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (24 - 8 * i));
    data.resize(std::min(cutTo, data.size()));
    return data;
}

class FxPresetTest : public ::testing::Test
{
protected:
    std::unique_ptr<VSTPlugIn> openFake(FakeEffect& effect)
    {
        gEntryScript = EntryScript{&effect};
        CodeBundle* bundle = InProcessBundle::create(fakeEntryTable());
        auto plugIn = std::make_unique<VSTPlugIn>(host, bundle, 44100.0f, 512);
        bundle->release();
        plugIn->open();
        effect.opcodes.clear();
        return plugIn;
    }
    bool load(const Data& data) { return plugIn->loadFXPOrFXB(data.size(), data.data()); }
    std::string failure(const Data& data)
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
        return "none";
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
}

TEST_F(FxPresetTest, ProgramRecordHasTheExactLayoutAndCutsLongNames)
{
    fake.values[0] = {0.0f, 0.25f, 1.0f, 0.5f};
    for (auto [name, written] : {std::pair<std::string, std::string>{"Lead", "Lead"}, {std::string(24, 'a'), std::string(24, 'a')},
                                 {std::string(30, 'b'), std::string(24, 'b')}})
    {
        fake.programNames[0] = name;
        size_t length = 0;
        auto record = plugIn->createFXP(length);
        Data expected = program({0.0f, 0.25f, 1.0f, 0.5f}, written);
        expected[23] = 3; // the effect's version
        EXPECT_EQ(Data(record.get(), record.get() + length), expected) << name;
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
    EXPECT_EQ(other.count(effBeginSetProgram) * 10 + other.count(effEndSetProgram), 33);
}

TEST_F(FxPresetTest, ChunkRecordsCarryTheEffectsChunk)
{
    FakeEffect chunky{1, 9, true};
    auto chunkPlugIn = openFake(chunky);
    chunky.programNames[0] = "Crunchy";
    size_t fxpLength = 0, fxbLength = 0;
    auto fxp = chunkPlugIn->createFXP(fxpLength);
    auto fxb = chunkPlugIn->createFXB(fxbLength);
    Bytes expected;
    expected.header(kFxProgramChunk, 63).i32(9).name("Crunchy").i32(3).data.insert(expected.data.end(), {1, 2, 3});
    expected.data[23] = 3;
    EXPECT_EQ(Data(fxp.get(), fxp.get() + fxpLength), expected.data);
    ASSERT_EQ(fxbLength, 164u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fxb.get() + 8), 4) + std::to_string(fxb[27]) + std::to_string(fxb[159]), "FBCh14");

    chunky.programNames[0] = "changed";
    EXPECT_TRUE(chunkPlugIn->loadFXPOrFXB(fxpLength, fxp.get()));
    EXPECT_EQ(chunky.receivedChunk, chunky.programChunk);
    EXPECT_EQ(chunky.receivedChunkIndex, 1);
    EXPECT_EQ(chunky.programNames[0], "Crunchy");
    EXPECT_TRUE(chunkPlugIn->loadFXPOrFXB(fxbLength, fxb.get()));
    EXPECT_EQ(chunky.receivedChunk, chunky.bankChunk);
    EXPECT_EQ(chunky.receivedChunkIndex, 0);
    chunky.setChunkAnswer = 0;
    EXPECT_FALSE(chunkPlugIn->loadFXPOrFXB(fxbLength, fxb.get())) << "a refused chunk is no exception";
    chunky.throwEverywhere = true;
    EXPECT_FALSE(chunkPlugIn->loadFXPOrFXB(fxbLength, fxb.get()));
}

TEST_F(FxPresetTest, MissingChunkFailsTheWriteAndLeavesNoRecord)
{
    FakeEffect chunky{1, 9, true};
    auto chunkPlugIn = openFake(chunky);
    for (auto spoil : std::vector<std::function<void()>>{[&] { chunky.programChunk.clear(), chunky.bankChunk.clear(); },
                                                         [&] { chunky.programChunk = chunky.bankChunk = {1}, chunky.chunkIsNull = true; },
                                                         [&] { chunky.chunkIsNull = false, chunky.throwEverywhere = true; }})
    {
        spoil();
        for (bool isBank : {false, true})
        {
            size_t length = 99;
            try
            {
                isBank ? chunkPlugIn->createFXB(length) : chunkPlugIn->createFXP(length);
                ADD_FAILURE();
            }
            catch (const TwinfoldException& e)
            {
                EXPECT_STREQ(e.what(), isBank ? "VST could not create chunk for FXB" : "VST could not create chunk for FXP");
            }
            EXPECT_EQ(length, 0u);
        }
    }
}

struct Adjusted
{
    const char* what;
    std::function<Data()> make;
    std::vector<std::vector<float>> values;
    std::vector<std::string> names;
};

class FxAdjustmentTest : public FxPresetTest, public ::testing::WithParamInterface<Adjusted>
{
};

TEST_P(FxAdjustmentTest, IsAppliedAndReportedAsInexact)
{
    EXPECT_FALSE(load(GetParam().make()));
    EXPECT_EQ(fake.values, GetParam().values);
    EXPECT_EQ(fake.programNames, GetParam().names);
    EXPECT_EQ(fake.count(effBeginSetProgram), fake.count(effEndSetProgram));
}

const std::vector<float> kHalf(4, 0.5f);
const std::vector<std::string> kNames{"Program 0", "Program 1", "Program 2"};
INSTANTIATE_TEST_SUITE_P(
    Records, FxAdjustmentTest,
    ::testing::Values(
        Adjusted{"FewerValues", [] { return program({0.75f, 0.5f}); }, {{0.75f, 0.5f, 0, 0}, kHalf, kHalf}, {"Loaded", "Program 1", "Program 2"}},
        Adjusted{"MoreValues", [] { return program({.1f, .2f, .3f, .4f, .9f}); }, {{.1f, .2f, .3f, .4f}, kHalf, kHalf}, {"Loaded", "Program 1", "Program 2"}},
        Adjusted{"OutOfRange", [] { return program({1.5f, -0.25f, kInf, -kInf}); }, {{1, 0, 1, 0}, kHalf, kHalf}, {"Loaded", "Program 1", "Program 2"}},
        Adjusted{"NaN", [] { return program({kNaN, 0.5f, -kNaN, 0.5f}); }, {{0, 0.5f, 0, 0.5f}, kHalf, kHalf}, {"Loaded", "Program 1", "Program 2"}},
        Adjusted{"BankWithMorePrograms", [] { return bank(4, {program(kHalf, "A"), program(kHalf, "B"), program(kHalf, "C"), program({1, 1, 1, 1}, "D")}); },
                 {kHalf, kHalf, kHalf}, {"A", "B", "C"}},
        Adjusted{"BankWithFewerPrograms", [] { return bank(1, {program({1, 1, 1, 1}, "A")}); }, {{1, 1, 1, 1}, kHalf, kHalf}, {"A", "Program 1", "Program 2"}},
        Adjusted{"BankProgramsWithSurplusValues", [] { return bank(3, {program({0, 0, 0, 0, 9}, "A"), program({1, 1, 1, 1, 9}, "B"), program({0, 1, 0, 1, 9}, "C")}); },
                 {{0, 0, 0, 0}, {1, 1, 1, 1}, {0, 1, 0, 1}}, {"A", "B", "C"}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(FxPresetTest, ValuesInsideTheRangeAreExact)
{
    EXPECT_TRUE(load(program({0.0f, -0.0f, 1.0f, 0.3f})));
}

TEST_F(FxPresetTest, FailureInsideABankSelectsTheRememberedProgramAgain)
{
    plugIn->setCurrentProgram(2);
    EXPECT_EQ(failure(bank(3, {program({1, 1, 1, 1}, "A"), program({0, 0, 0, 0}, "B")})), "EOF: End of file error");
    EXPECT_EQ(fake.currentProgram, 2);
    EXPECT_EQ(fake.programNames[0], "A") << "programs read before the failure stay changed";
    EXPECT_EQ(fake.count(effBeginSetProgram), fake.count(effEndSetProgram));
}

struct BadRecord
{
    const char* what;
    std::function<Data()> make;
    const char* failure;
};

class FxFailureTest : public FxPresetTest, public ::testing::WithParamInterface<BadRecord>
{
};

TEST_P(FxFailureTest, IsRejectedWithoutTouchingTheEffect)
{
    EXPECT_EQ(failure(GetParam().make()), GetParam().failure);
    EXPECT_TRUE(fake.setParameterCalls.empty());
    EXPECT_EQ(fake.count(effSetChunk) + fake.count(effSetProgramName), 0);
}

const Data kGood = program(kHalf);
const char* const kInvalid = "Format: Invalid format of FXP / FXB data";
const char* const kEOF = "EOF: End of file error";
INSTANTIATE_TEST_SUITE_P(
    FailureTable, FxFailureTest,
    ::testing::Values(
        BadRecord{"Empty", [] { return Data{}; }, kEOF}, BadRecord{"TwentyThreeBytes", [] { return patched(kGood, 0, kFxChunkMagic, 23); }, kEOF},
        BadRecord{"HeaderOnly", [] { return patched(kGood, 0, kFxChunkMagic, 24); }, kInvalid},
        BadRecord{"WrongChunkMagic", [] { return patched(kGood, 0, CCONST('C', 'c', 'n', 'k')); }, kInvalid},
        BadRecord{"FormatVersion2", [] { return patched(kGood, 12, 2); }, kInvalid},
        BadRecord{"BankFormatVersion2", [] { return patched(bank(3, {}), 12, 2); }, kInvalid},
        BadRecord{"OtherPlugIn", [] { return patched(kGood, 16, CCONST('K', 'w', 'Q', 'z')); }, kInvalid},
        BadRecord{"ByteSizeBeyondData", [] { return patched(kGood, 4, 65); }, kInvalid},
        BadRecord{"HugeByteSize", [] { return patched(kGood, 4, std::numeric_limits<int32_t>::max()); }, kInvalid},
        BadRecord{"UnknownForm", [] { return patched(kGood, 8, CCONST('F', 'x', 'C', 'c')); }, kInvalid},
        BadRecord{"NameFieldCut", [] { return patched(kGood, 4, 20, 40); }, kEOF},
        BadRecord{"ChunkNameFieldCut", [] { return patched(chunkRecord(false, 0, 0), 4, 40, 50); }, kEOF},
        BadRecord{"ProgramChunkPastEnd", [] { return chunkRecord(false, 9, 8); }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"ProgramChunkNegative", [] { return chunkRecord(false, -1, 8); }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"ProgramChunkHuge", [] { return chunkRecord(false, INT32_MAX, 8); }, "EOF: Unexpected end of file in FXP / FXB data"},
        BadRecord{"BankChunkPastEnd", [] { return chunkRecord(true, 5, 4); }, "EOF: Unexpected end of file in FXB data"},
        BadRecord{"BankChunkNegative", [] { return chunkRecord(true, INT32_MIN, 4); }, "EOF: Unexpected end of file in FXB data"},
        BadRecord{"BankChunkLengthMissing", [] { return patched(chunkRecord(true, 0, 0), 4, 100, 158); }, kEOF},
        BadRecord{"BankProgramOfOtherPlugIn", [] { return bank(3, {patched(kGood, 16, CCONST('K', 'w', 'Q', 'z'))}); }, kInvalid}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(FxPresetTest, NameFieldAtTheVeryEndIsReadButNothingBeyond)
{
    FakeEffect bare{1, 0, false}; // no parameters: the record ends with its name
    auto barePlugIn = openFake(bare);
    Data record = program({}, std::string(28, 'n'));
    EXPECT_TRUE(barePlugIn->loadFXPOrFXB(record.size(), record.data()));
    EXPECT_EQ(bare.programNames[0], std::string(24, 'n'));
    record = patched(record, 4, 47);
    EXPECT_THROW(barePlugIn->loadFXPOrFXB(55, record.data()), EOFException);
}

} // namespace
