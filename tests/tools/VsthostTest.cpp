// The vsthost program as a user runs it: exit codes, messages and files.
#include "tools/SoundFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace
{

struct RunResult
{
    int status;
    std::string output; // stdout and stderr together
};

RunResult run(const std::string& arguments)
{
    const std::string command = std::string(DC_VSTHOST) + " " + arguments + " 2>&1";
    RunResult result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class VsthostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("vsthost-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

const std::string kMVerb = "/usr/lib/vst/MVerb-vst.so";

TEST_F(VsthostTest, HelpAndUsageErrors)
{
    RunResult help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("vsthost render"), std::string::npos);
    RunResult bad = run("render fx.so --generate sine --set Gain=2 -o x.wav");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("values run from 0 to 1"), std::string::npos);
    EXPECT_NE(bad.output.find("usage:"), std::string::npos);
}

TEST_F(VsthostTest, BadInputsFailWithClearMessages)
{
    std::ofstream(at("text.so")) << "plain text";
    fs::create_directories(dir / "empty");
    std::ofstream(at("junk.fxp")) << "CcnK but nothing more";
    const std::string wav = at("in.wav");
    struct Case
    {
        std::string arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"info " + at("missing.so"), "effect not found: "},
        {"info " + at("text.so"), "not a VST effect: "},
        {"info " + dir.string(), "not a VST effect"},
        {"info " + (dir / "empty").string(), "not a VST effect (no shared library or bundle)"},
        {"render " + kMVerb + " -i " + at("missing.wav") + " -o " + at("o.wav"), "cannot read audio file"},
        {"render " + kMVerb + " -i " + at("text.so") + " -o " + at("o.wav"), "cannot read audio file"},
        {"render " + kMVerb + " --generate sine -o " + at("o.mp3"), "unknown output format"},
        {"render " + kMVerb + " --generate sine -o " + at("o.wav") + " --preset " + at("missing.fxp"), "cannot open preset"},
        {"render " + kMVerb + " --generate sine -o " + at("o.wav") + " --preset " + at("junk.fxp"), "End of file error"},
        {"render " + kMVerb + " --generate sine -o " + at("o.wav") + " --set NoSuchThing=0.5", "no parameter named \"NoSuchThing\""},
        {"render " + kMVerb + " --generate sine -o " + at("o.wav") + " --set 9=0.5", "parameter index 9 out of range"},
        {"save " + kMVerb + " -o " + at("no/such/folder/x.fxp"), "cannot write"},
    };
    if (!fs::exists(kMVerb))
        GTEST_SKIP() << "MVerb is not installed";
    for (const Case& c : cases)
    {
        const RunResult r = run(c.arguments);
        EXPECT_EQ(r.status, 1) << c.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << "\n" << r.output;
    }
}

class VsthostEffectTest : public VsthostTest, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(VsthostEffectTest, SavedPresetRendersLikeTheSettingsItHolds)
{
    const std::string effect = GetParam();
    if (!fs::exists(effect))
        GTEST_SKIP() << effect << " is not built or installed";
    const std::string settings = "--set 0=0.8 --set 1=0.3";
    for (const char* preset : {"state.fxp", "state.fxb"})
    {
        const RunResult saved = run("save " + effect + " " + settings + " -o " + at(preset));
        ASSERT_EQ(saved.status, 0) << saved.output;
    }
    const std::string render = "render " + effect + " --generate noise --seconds 0.5 --rate 44100 --block 300 -q ";
    ASSERT_EQ(run(render + settings + " -o " + at("direct.wav")).status, 0);
    const RunResult viaProgram = run(render + "--preset " + at("state.fxp") + " -o " + at("program.wav"));
    ASSERT_EQ(viaProgram.status, 0) << viaProgram.output;
    EXPECT_NE(viaProgram.output.find("output 2 ch, 22050 frames at 44100 Hz"), std::string::npos) << viaProgram.output;
    ASSERT_EQ(run(render + "--preset " + at("state.fxb") + " -o " + at("bank.wav")).status, 0);
    ASSERT_EQ(run(render + " -o " + at("default.wav")).status, 0);

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

INSTANTIATE_TEST_SUITE_P(Effects, VsthostEffectTest, ::testing::ValuesIn(effects()),
                         [](const auto& info) { return fs::path(info.param).stem().string().substr(0, fs::path(info.param).stem().string().find('-')); });

TEST_F(VsthostTest, PresetOfAnotherEffectIsRefused)
{
    if (!fs::exists(kMVerb) || !fs::exists("/usr/lib/vst/3BandEQ-vst.so"))
        GTEST_SKIP();
    ASSERT_EQ(run("save /usr/lib/vst/3BandEQ-vst.so -o " + at("eq.fxb")).status, 0);
    const RunResult r = run("render " + kMVerb + " --generate sine --seconds 0.1 -o " + at("o.wav") + " --preset " + at("eq.fxb"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Invalid format of FXP / FXB data"), std::string::npos) << r.output;
}

} // namespace
