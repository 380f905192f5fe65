// The kit's output files in the process: a file that replaces its target in
// one step or leaves no trace, and audio whose silence becomes holes and
// whose size chooses RF64.
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/SoundFile.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/ToolMain.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ReplacingFileTest : public ::testing::TestWithParam<ReplacingFile::Temporary>
{
protected:
    void SetUp() override
    {
        fs::create_directories(dir);
        std::ofstream(dir / "out.txt") << "old";
        fs::permissions(dir / "out.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    void TearDown() override { fs::remove_all(dir); }
    const fs::path dir = fs::temp_directory_path() / ("replacing-file-" + std::to_string(getpid()));
};

TEST_P(ReplacingFileTest, ReplacesInOneStepKeepingTheModeOrLeavesNoTrace)
{
    const bool unnamed = GetParam() == ReplacingFile::Temporary::unnamed;
    {
        ReplacingFile file(dir / "out.txt", GetParam());
        EXPECT_EQ(file.isUnnamed(), unnamed) << "this file system takes unnamed files";
        file.write("new", 3);
        EXPECT_EQ(namesIn(dir).size(), unnamed ? 1u : 2u) << "an unnamed file has no entry in the folder";
    }
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(read(dir / "out.txt"), "old");

    ReplacingFile file(dir / "out.txt", GetParam());
    file.write("new", 3);
    file.commit();
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(read(dir / "out.txt"), "new");
    EXPECT_EQ(fs::status(dir / "out.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_P(ReplacingFileTest, ANewFileNeverReplacesOne)
{
    ReplacingFile taken(dir / "out.txt", GetParam());
    taken.write("new", 3);
    try
    {
        taken.commitAsNew();
        ADD_FAILURE() << "replaced an existing file";
    }
    catch (const FileError& e)
    {
        EXPECT_NE(std::string(e.what()).find("out.txt: it exists"), std::string::npos) << e.what();
    }
    ReplacingFile fresh(dir / "other.txt", GetParam());
    fresh.write("new", 3);
    fresh.commitAsNew();
    EXPECT_EQ(read(dir / "out.txt"), "old");
    EXPECT_EQ(read(dir / "other.txt"), "new");
    EXPECT_THROW(ReplacingFile(dir / "none" / "x.txt", GetParam()), FileError);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReplacingFileTest,
                         ::testing::Values(ReplacingFile::Temporary::unnamed, ReplacingFile::Temporary::named),
                         [](const auto& info) { return info.param == ReplacingFile::Temporary::unnamed ? "Unnamed" : "Named"; });

TEST(SoundFileWriter, SilenceBecomesHolesAndReadsBackAsZeros)
{
    const fs::path path = fs::temp_directory_path() / ("sparse-" + std::to_string(getpid()) + ".wav");
    const int32_t rate = 48000, seconds = 60;
    std::vector<float> block(static_cast<size_t>(rate) * 2, 0.0f);
    {
        SoundFileWriter writer(path, Container::wav, SampleFormat::float32, 2, rate, 3u * seconds * rate);
        EXPECT_FALSE(writer.isRF64());
        block[7] = 0.5f;
        writer.write(block.data(), static_cast<size_t>(rate)); // a second with one sample set
        block[7] = 0.0f;
        for (int s = 0; s < seconds; ++s)
            writer.write(block.data(), static_cast<size_t>(rate));
        block.back() = -0.25f;
        writer.write(block.data(), static_cast<size_t>(rate)); // a second ending with one sample set
        block.back() = 0.0f;
        for (int s = 0; s < seconds; ++s)
            writer.write(block.data(), static_cast<size_t>(rate)); // silence to the end
        writer.finish();
    }
    const AudioBuffer back = SoundFile::read(path);
    ASSERT_EQ(back.frames(), static_cast<size_t>(rate) * (2 * seconds + 2));
    EXPECT_EQ(back.samples[7], 0.5f);
    EXPECT_EQ(back.samples[static_cast<size_t>(rate) * 2 * (seconds + 2) - 1], -0.25f);
    EXPECT_EQ(std::count(back.samples.begin(), back.samples.end(), 0.0f), static_cast<long>(back.samples.size()) - 2);
    struct stat status{};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_LT(status.st_blocks * 512, status.st_size / 20) << "two minutes of silence take next to no disk";
    fs::remove(path);
}

TEST(SoundFileWriter, ARenderThatMayPass4GBIsRF64AndAPlainWavWhenItStaysSmall)
{
    const fs::path path = fs::temp_directory_path() / ("downgrade-" + std::to_string(getpid()) + ".wav");
    const std::vector<float> samples(200, 0.125f);
    {
        // 600 million stereo float frames would be 4.8 GB.
        SoundFileWriter writer(path, Container::wav, SampleFormat::float32, 2, 48000, 600'000'000);
        EXPECT_TRUE(writer.isRF64());
        writer.write(samples.data(), 100);
        writer.finish();
    }
    EXPECT_EQ(read(path).substr(0, 4), "RIFF");
    const AudioBuffer back = SoundFile::read(path);
    EXPECT_EQ(back.samples, samples);
    fs::remove(path);

    EXPECT_NO_THROW(SoundFileWriter::checkCapacity(path, Container::aiff, SampleFormat::pcm16, 2, 1'000'000'000));
    EXPECT_THROW(SoundFileWriter::checkCapacity(path, Container::aiff, SampleFormat::pcm16, 2, 1'100'000'000), UsageError);
    EXPECT_NO_THROW(SoundFileWriter::checkCapacity(path, Container::flac, SampleFormat::pcm24, 8, 1'000'000'000));
}

} // namespace
