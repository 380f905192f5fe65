// The vsthost program as a user runs it: exit codes, messages and files.
#include "tools/SoundFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace
{

const std::string kMVerb = "/usr/lib/vst/MVerb-vst.so";

class VsthostTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(dir / "empty"); }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return (dir / name).string(); }

    // Exit status and everything printed.
    static std::pair<int, std::string> run(const std::string& arguments)
    {
        FILE* pipe = popen((std::string(DC_VSTHOST) + " " + arguments + " 2>&1").c_str(), "r");
        std::string output;
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
            output.append(buffer, got);
        const int status = pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    }

    const fs::path dir = fs::temp_directory_path() / ("vsthost-" + std::to_string(getpid()));
};

TEST_F(VsthostTest, EveryBadInputFailsWithAClearMessage)
{
    if (!fs::exists(kMVerb))
        GTEST_SKIP() << "MVerb is not installed";
    std::ofstream(at("text.so")) << "plain text";
    std::ofstream(at("junk.fxp")) << "CcnK but nothing more";
    ASSERT_EQ(run("save /usr/lib/vst/3BandEQ-vst.so -o " + at("eq.fxb")).first, 0);
    const std::string render = "render " + kMVerb + " --generate sine --seconds 0.1 -o " + at("o.wav") + " ";
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"render fx.so --generate sine --set Gain=2 -o x.wav", 2, "values run from 0 to 1"},
        {"bogus", 2, "usage:"},
        {"info " + at("missing.so"), 1, "effect not found: "},
        {"info " + at("text.so"), 1, "not a VST effect: "},
        {"info " + at("empty"), 1, "not a VST effect (no shared library or bundle)"},
        {"render " + kMVerb + " -i " + at("text.so") + " -o " + at("o.wav"), 1, "cannot read audio file"},
        {render + "-o " + at("o.mp3"), 1, "unknown output format"},
        {render + "--preset " + at("missing.fxp"), 1, "cannot open preset"},
        {render + "--preset " + at("junk.fxp"), 1, "End of file error"},
        {render + "--preset " + at("eq.fxb"), 1, "Invalid format of FXP / FXB data"},
        {render + "--set NoSuchThing=0.5", 1, "no parameter named \"NoSuchThing\""},
        {render + "--set 9=0.5", 1, "parameter index 9 out of range"},
        {"save " + kMVerb + " -o " + at("no/such/folder/x.fxp"), 1, "cannot write"},
    };
    for (const auto& [arguments, status, message] : cases)
    {
        const auto [got, output] = run(arguments);
        EXPECT_EQ(got, status) << arguments << "\n" << output;
        EXPECT_NE(output.find(message), std::string::npos) << arguments << "\n" << output;
    }
}

class VsthostEffectTest : public VsthostTest, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(VsthostEffectTest, SavedPresetsRenderLikeTheSettingsTheyHold)
{
    if (!fs::exists(GetParam()))
        GTEST_SKIP() << GetParam() << " is not built or installed";
    const std::string settings = "--set 0=0.8 --set 1=0.3";
    ASSERT_EQ(run("save " + GetParam() + " " + settings + " -o " + at("state.fxp")).first, 0);
    ASSERT_EQ(run("save " + GetParam() + " " + settings + " -o " + at("state.fxb")).first, 0);
    const std::string render = "render " + GetParam() + " --generate noise --seconds 0.5 --rate 44100 --block 300 -q ";
    ASSERT_EQ(run(render + settings + " -o " + at("direct.wav")).first, 0);
    const auto [status, output] = run(render + "--preset " + at("state.fxp") + " -o " + at("program.wav"));
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(output.find("output 2 ch, 22050 frames at 44100 Hz"), std::string::npos) << output;
    ASSERT_EQ(run(render + "--preset " + at("state.fxb") + " -o " + at("bank.wav")).first, 0);
    ASSERT_EQ(run(render + " -o " + at("default.wav")).first, 0);

    const AudioBuffer direct = SoundFile::read(at("direct.wav"));
    EXPECT_EQ(SoundFile::read(at("program.wav")).samples, direct.samples);
    EXPECT_EQ(SoundFile::read(at("bank.wav")).samples, direct.samples);
    EXPECT_NE(SoundFile::read(at("default.wav")).samples, direct.samples) << "the settings make a difference";
}

std::vector<std::string> effects()
{
    std::vector<std::string> list{kMVerb, "/usr/lib/vst/PingPongPan-vst.so"};
#ifdef DC_PLUGIN_PATH
    list.insert(list.begin(), DC_PLUGIN_PATH);
#endif
    return list;
}

INSTANTIATE_TEST_SUITE_P(Effects, VsthostEffectTest, ::testing::ValuesIn(effects()), [](const auto& info) {
    const std::string stem = fs::path(info.param).stem().string();
    return stem.substr(0, stem.find('-'));
});

} // namespace
