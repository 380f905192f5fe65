// What both hosts leave on disk when a render is interrupted, killed, or
// makes more than 4 GB: run as processes, with their exit status, messages
// and the files in their folder checked.
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

struct Host
{
    const char* name;
    std::string program;
    std::string effect; // what the host loads: the VST module or the component bundle
};

std::vector<Host> hosts()
{
    return {{"vsthost", DC_VSTHOST, DC_PLUGIN_PATH}, {"auhost", DC_AUHOST, DC_AU_BUNDLE}};
}

class OutputSafety : public ::testing::TestWithParam<Host>
{
protected:
    void SetUp() override
    {
        // auhost's component writes its factory files under HOME and converts presets there.
        setenv("HOME", (dir / "home").c_str(), 1);
        setenv("TWINFOLD_LOCAL_DOMAIN", (dir / "local").c_str(), 1);
        fs::create_directories(dir / "out");
        if (GetParam().program == DC_AUHOST)
            fs::copy(GetParam().effect, dir / "DitherCrunch.component", fs::copy_options::recursive);
        effect = GetParam().program == DC_AUHOST ? (dir / "DitherCrunch.component").string() : GetParam().effect;
    }
    void TearDown() override { fs::remove_all(dir); }

    // A render of a day of noise, which stays busy until stopped.
    pid_t startLongRender(const std::string& output) const
    {
        return tool.start(GetParam().program + " render '" + effect + "' --generate noise --seconds 86400 -o " + output);
    }

    const fs::path dir = fs::temp_directory_path() / ("output-safety-" + std::to_string(getpid()));
    const ToolProcess tool{dir / "out"};
    std::string effect;
};

TEST_P(OutputSafety, CtrlCSaysTheRenderWasInterruptedAndWhatWasKept)
{
    const pid_t fresh = startLongRender("new.wav");
    ASSERT_TRUE(ToolProcess::waitForOutput(fresh, tool.where(), std::chrono::seconds(30)));
    kill(fresh, SIGINT);
    const Outcome first = tool.finish(fresh);
    EXPECT_EQ(first.signal, SIGINT) << "ends as Ctrl-C does, so that a calling script stops too";
    EXPECT_EQ(first.err, std::string(GetParam().name) + ": interrupted: nothing was written\n");
    EXPECT_EQ(tool.files(), std::vector<std::string>{});

    std::ofstream(tool.at("old.wav")) << "an earlier render";
    const pid_t again = startLongRender("old.wav");
    ASSERT_TRUE(ToolProcess::waitForOutput(again, tool.where(), std::chrono::seconds(30)));
    kill(again, SIGINT);
    const Outcome second = tool.finish(again);
    EXPECT_EQ(second.signal, SIGINT);
    EXPECT_NE(second.err.find("interrupted: nothing was written; the earlier old.wav is kept as it was"), std::string::npos)
        << second.err;
    EXPECT_EQ(contents(tool.at("old.wav")), "an earlier render");
    EXPECT_EQ(tool.files(), std::vector<std::string>{"old.wav"});
}

TEST_P(OutputSafety, AKilledRenderLeavesNoFileAndTheEarlierOutputIntact)
{
    std::ofstream(tool.at("old.wav")) << "an earlier render";
    for (const char* output : {"new.wav", "old.wav"})
    {
        const pid_t render = startLongRender(output);
        ASSERT_TRUE(ToolProcess::waitForOutput(render, tool.where(), std::chrono::seconds(30)));
        usleep(200 * 1000); // some megabytes written
        kill(render, SIGKILL);
        EXPECT_EQ(tool.finish(render).signal, SIGKILL);
        EXPECT_EQ(tool.files(), std::vector<std::string>{"old.wav"}) << output;
        EXPECT_EQ(contents(tool.at("old.wav")), "an earlier render");
    }
}

TEST_P(OutputSafety, AnAiffPast4GBIsRefusedBeforeAnythingRuns)
{
    // Two output channels of float at 768 kHz pass 4 GB after 700 seconds.
    const Outcome got = tool.run(GetParam().program + " render '" + effect + "' --generate sine --seconds 720 --rate 768000 -o big.aif");
    EXPECT_EQ(got.status, 2) << got.err;
    EXPECT_NE(got.err.find("big.aif would hold 4.4 GB of samples; AIFF files hold at most 4 GB"), std::string::npos) << got.err;
    EXPECT_EQ(tool.files(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Hosts, OutputSafety, ::testing::ValuesIn(hosts()), [](const auto& info) { return std::string(info.param.name); });

TEST(LargeOutput, AWavPast4GBIsWrittenAsRF64WithTheRightSizes)
{
#if defined(DC_SANITIZED)
    GTEST_SKIP() << "4.3 GB through a sanitized build takes minutes; the release build runs it";
#endif
    const fs::path dir = fs::temp_directory_path() / ("large-output-" + std::to_string(getpid()));
    const ToolProcess tool{dir};
    // 64 silent channels of float at 768 kHz: 22 seconds are 4.33 GB.
    const std::string render = std::string(DC_VSTHOST) + " render " + DC_SILENT_EFFECT + " --generate sine --channels 1 --rate 768000 ";
    const Outcome big = tool.run(render + "--seconds 22 -o big.wav");
    ASSERT_EQ(big.status, 0) << big.err;
    EXPECT_NE(big.out.find("wrote  big.wav (WAV as RF64, float)"), std::string::npos) << big.out;
    SF_INFO info{};
    SNDFILE* file = sf_open(tool.at("big.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
    EXPECT_EQ(info.frames, 22 * 768000);
    EXPECT_EQ(info.channels, 64);
    float last[64] = {1.0f};
    EXPECT_EQ(sf_seek(file, info.frames - 1, SEEK_SET), info.frames - 1);
    EXPECT_EQ(sf_readf_float(file, last, 1), 1);
    EXPECT_EQ(last[0], 0.0f);
    sf_close(file);
    struct stat status{};
    ASSERT_EQ(stat(tool.at("big.wav").c_str(), &status), 0);
    EXPECT_GT(status.st_size, 4LL << 30);
    EXPECT_LT(status.st_blocks * 512, 1 << 20) << "silence is left to the file's holes";

    // The same under 4 GB is a plain WAV.
    const Outcome small = tool.run(render + "--seconds 1 -o small.wav");
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(contents(tool.at("small.wav")).substr(0, 4), "RIFF");
    fs::remove_all(dir);
}

} // namespace
