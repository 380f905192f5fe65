// The vsthost program as a user runs it: exit codes, messages and files.
#include "ToolProcess.h"
#include "tools/kit/SoundFile.h"

#include "tests/support/ResidentMemory.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const std::string kMVerb = "/usr/lib/vst/MVerb-vst.so";
const std::string kEQ = "/usr/lib/vst/3BandEQ-vst.so";

struct Expectation
{
    std::string arguments;
    int status;
    std::string message; // in stderr (status != 0) or stdout
};

class VsthostTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(dir / "empty"); }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return (dir / name).string(); }

    // Runs vsthost through the shell, with the arguments as a user types them.
    Outcome run(const std::string& arguments) const { return tool.run(std::string(DC_VSTHOST) + " " + arguments); }
    std::vector<std::string> files() const { return tool.files(); }

    void expectAll(const std::vector<Expectation>& cases) const
    {
        for (const Expectation& c : cases)
        {
            const Outcome got = run(c.arguments);
            EXPECT_EQ(got.status, c.status) << c.arguments << "\n" << got.out << got.err;
            const std::string& where = c.status == 0 ? got.out : got.err;
            EXPECT_NE(where.find(c.message), std::string::npos) << c.arguments << "\nstdout: " << got.out << "\nstderr: " << got.err;
        }
    }

    const fs::path dir = fs::temp_directory_path() / ("vsthost-" + std::to_string(getpid()));
    const ToolProcess tool{dir};
};

TEST_F(VsthostTest, EveryBadInputFailsWithItsCauseAndStatus)
{
    if (!fs::exists(kMVerb) || !fs::exists(kEQ))
        GTEST_SKIP() << "MVerb or 3BandEQ is not installed";
    std::ofstream(at("text.so")) << "plain text";
    std::ofstream(at("junk.fxp")) << "CcnK but nothing more";
    ASSERT_EQ(run("save " + kEQ + " -o " + at("eq.fxb")).status, 0);
    ASSERT_EQ(run("save " + kMVerb + " -o " + at("mverb.fxb")).status, 0);
    const std::string bank = contents(at("mverb.fxb"));
    std::ofstream(at("cut.fxb"), std::ios::binary) << bank.substr(0, bank.size() - 10);
    const std::string render = "render " + kMVerb + " --generate sine --seconds 0.1 ";
    const std::string wav = " -o " + at("o.wav");
    expectAll({
                  {"", 2, "usage:"},
                  {"bogus", 2, "usage:"},
                  {"--version", 0, "vsthost "},
                  {"--help", 0, "usage:"},
                  {"render --help", 0, "--format F"},
                  {"help save", 0, "usage: vsthost save"},
                  {"render fx.so --generate sine --set Gain=2 -o x.wav", 2, "values run from 0 to 1"},
                  {"save " + kMVerb + " -o x.fxp --cc 1:70:1", 2, "save does not use --cc"},
                  {"info " + kMVerb + " --tail 1", 2, "info does not use --tail"},
                  {"info " + at("missing.so"), 1, "effect not found: "},
                  {"info " + at("text.so"), 1, "not a VST effect: "},
                  {"info " + at("empty"), 1, "not a VST effect (no shared library or bundle)"},
                  {"render " + kMVerb + " -i " + at("text.so") + " -o " + at("o.wav"), 1, "cannot read audio file"},
                  {"render " + kMVerb + " -i " + at("empty") + " -o " + at("o.wav"), 1, "empty: is a directory"},
                  {"render " + kMVerb + " -i " + at("none.wav") + " -o " + at("o.wav"), 1, "No such file or directory"},
                  {render + "-o " + at("o.mp3"), 2, "unknown output format"},
                  {render + "-o " + at("o.flac") + " --format float", 2, "FLAC cannot hold float samples"},
                  {render + "--rate 44100.5" + wav, 2, "whole numbers of Hz"},
                  {render + "--preset " + at("missing.fxp") + wav, 1, "cannot read preset " + at("missing.fxp") + ": No such file"},
                  {render + "--preset " + at("empty") + wav, 1, "empty: is a directory"},
                  {render + "--preset " + at("junk.fxp") + wav, 1, "End of file error (the file is truncated: expected"},
                  {render + "--preset " + at("eq.fxb") + wav, 1,
                   "Invalid format of FXP / FXB data (the file is for the plug-in with ID 'D3EQ'"},
                  {render + "--preset " + at("cut.fxb") + wav, 1,
                   "(the file is truncated: expected " + std::to_string(bank.size()) + " bytes, the file has " +
                       std::to_string(bank.size() - 10) + ")"},
                  {render + "--set NoSuchThing=0.5" + wav, 2, "no parameter named \"NoSuchThing\""},
                  {render + "--set 9=0.5" + wav, 2, "parameter index 9 out of range (the effect has 9 parameters)"},
                  {"save " + kMVerb + " -o " + at("no/such/folder/x.fxp"), 1, "does not exist"},
    });
    if (geteuid() != 0) // root reads every file
    {
        std::ofstream(at("locked.fxp")) << "CcnK";
        fs::permissions(at("locked.fxp"), fs::perms::none);
        expectAll({{render + "--preset " + at("locked.fxp") + wav, 1, "locked.fxp: Permission denied"}});
        fs::remove(at("locked.fxp"));
    }
    EXPECT_EQ(run("").out, "") << "bare usage goes to stderr";
    EXPECT_EQ(files(), (std::vector<std::string>{"cut.fxb", "empty", "eq.fxb", "junk.fxp", "mverb.fxb", "text.so"}))
        << "no failed render leaves a file";
}

TEST_F(VsthostTest, NeverWritesOverItsInputAndAFailedRunLeavesTheOutputAlone)
{
    if (!fs::exists(kMVerb))
        GTEST_SKIP() << "MVerb is not installed";
    ASSERT_EQ(run("render " + kMVerb + " --generate noise --seconds 0.2 --format pcm16 -q -o " + at("in.wav")).status, 0);
    const std::string original = contents(at("in.wav"));
    fs::create_hard_link(at("in.wav"), at("hard.wav"));
    fs::create_symlink(at("in.wav"), at("soft.wav"));
    for (const char* output : {"in.wav", "hard.wav", "soft.wav"})
    {
        const Outcome got = run("render " + kMVerb + " -i " + at("in.wav") + " -o " + at(output));
        EXPECT_EQ(got.status, 2) << output;
        EXPECT_NE(got.err.find("is the input"), std::string::npos) << got.err;
    }
    EXPECT_EQ(run("render " + kMVerb + " -i " + at("soft.wav") + " -o " + kMVerb).status, 2);
    EXPECT_EQ(contents(at("in.wav")), original);

    // A failing run (a bad preset) and an interrupted one both leave the
    // existing output as it was, and no temporary file behind.
    std::ofstream(at("out.wav")) << "previous render";
    std::ofstream(at("bad.fxp")) << "CcnK";
    EXPECT_EQ(run("render " + kMVerb + " -i " + at("in.wav") + " -p " + at("bad.fxp") + " -o " + at("out.wav")).status, 1);
    const pid_t child = tool.start(std::string(DC_VSTHOST) + " render " + kMVerb + " --generate noise --seconds 86400 -q -o " + at("out.wav"));
    ASSERT_TRUE(ToolProcess::waitForOutput(child, dir, std::chrono::seconds(20)));
    kill(child, SIGTERM);
    EXPECT_EQ(tool.finish(child).signal, SIGTERM);
    EXPECT_EQ(contents(at("out.wav")), "previous render");
    EXPECT_EQ(files(), (std::vector<std::string>{"bad.fxp", "empty", "hard.wav", "in.wav", "out.wav", "soft.wav"}));

    ASSERT_EQ(run("render " + kMVerb + " -i " + at("soft.wav") + " -o " + at("out.wav")).status, 0);
    EXPECT_EQ(SoundFile::read(at("out.wav")).frames(), 9600u) << "a successful run replaces it";
}

TEST_F(VsthostTest, MemoryStaysFlatWhateverTheLength)
{
    if (!dc::kCountsGrowth)
        GTEST_SKIP() << "the sanitizers' own bookkeeping grows with the work done";
    const std::string effect = fs::exists("/usr/lib/vst/PingPongPan-vst.so") ? "/usr/lib/vst/PingPongPan-vst.so" : kMVerb;
    if (!fs::exists(effect))
        GTEST_SKIP() << "no effect installed";
    const std::string render = "render " + effect + " --generate noise --rate 48000 --channels 2 --format pcm16 -q -o " + at("long.wav") + " --seconds ";
    const Outcome shortRun = run(render + "10");
    const Outcome longRun = run(render + "600");
    ASSERT_EQ(shortRun.status + longRun.status, 0) << shortRun.err << longRun.err;
    EXPECT_EQ(fs::file_size(at("long.wav")), 44u + 600u * 48000u * 4u);
    RecordProperty("peak_kB_10s", std::to_string(shortRun.peakKilobytes));
    RecordProperty("peak_kB_600s", std::to_string(longRun.peakKilobytes));
    EXPECT_LT(longRun.peakKilobytes - shortRun.peakKilobytes, 10 * 1024)
        << "peak memory " << shortRun.peakKilobytes << " kB for 10 s, " << longRun.peakKilobytes << " kB for 600 s";
}

struct FormatCase
{
    std::string arguments; // how the input is made, after "render EFFECT"
    std::string output;
    int format; // libsndfile's format of the written file
};

TEST_F(VsthostTest, WritesTheFormatItsDefaultsAndFormatPromise)
{
    if (!fs::exists(kMVerb))
        GTEST_SKIP() << "MVerb is not installed";
    const std::string sine = "--generate sine --seconds 0.1 ";
    ASSERT_EQ(run("render " + kMVerb + " " + sine + "--format pcm16 -q -o " + at("in16.wav")).status, 0);
    ASSERT_EQ(run("render " + kMVerb + " " + sine + "--format pcm24 -q -o " + at("in24.aif")).status, 0);
    const std::vector<FormatCase> cases = {
        {sine, "g.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {sine, "g.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {sine, "g.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"-i " + at("in16.wav"), "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"-i " + at("in16.wav"), "a.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"-i " + at("in16.wav"), "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"-i " + at("in24.aif"), "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"-i " + at("in16.wav") + " --format float", "c.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {sine + "--format pcm24", "c.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
    };
    for (const FormatCase& c : cases)
    {
        const Outcome got = run("render " + kMVerb + " " + c.arguments + " -o " + at(c.output));
        ASSERT_EQ(got.status, 0) << c.arguments << got.err;
        SF_INFO info{};
        SNDFILE* file = sf_open(at(c.output).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        sf_close(file);
        EXPECT_EQ(info.format, c.format) << c.arguments << " -o " << c.output;
        // Plain AIFF for integer samples: only float needs AIFF-C.
        if (c.output.ends_with(".aif") || c.output.ends_with(".aiff"))
        {
            EXPECT_EQ(contents(at(c.output)).substr(8, 4), (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ? "AIFC" : "AIFF");
        }
    }
}

TEST_F(VsthostTest, SaysWhatItDropsClipsOrLeavesOut)
{
    if (!fs::exists(kEQ))
        GTEST_SKIP() << "3BandEQ is not installed";
    const std::string render = "render " + kEQ + " --generate sine --seconds 1 ";
    const std::string loud = "--set Low=1 --set Mid=1 --set High=1 --set Master=1 ";
    const Outcome clipped = run(render + loud + "-o " + at("loud.flac"));
    ASSERT_EQ(clipped.status, 0) << clipped.err;
    EXPECT_NE(clipped.err.find("samples clipped at full scale: the effect's output peaks at +"), std::string::npos) << clipped.err;
    EXPECT_NE(clipped.out.find("output 2 ch, 48000 frames at 48000 Hz: peak 4"), std::string::npos) << "the peak the effect made";
    const Outcome floating = run(render + loud + "-o " + at("loud.wav"));
    EXPECT_EQ(floating.err.find("clipped"), std::string::npos) << "float keeps the peaks";

    const Outcome channels = run(render + "--channels 6 -o " + at("six.wav"));
    EXPECT_NE(channels.err.find("the input has 6 channels, the effect 2 inputs: input channels 3 to 6 are left out"), std::string::npos)
        << channels.err;
    const Outcome late = run(render + "--tail 0.5 --cc 1.2:70:1 --cc 1.5:71:1 -o " + at("late.wav"));
    EXPECT_EQ(late.err.find("1.2 s"), std::string::npos) << "inside the tail: sent";
    EXPECT_NE(late.err.find("--cc at 1.5 s comes after the end of the render (1.500 s with the tail)"), std::string::npos) << late.err;
    const Outcome quiet = run(render + "-q -o " + at("quiet.wav"));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(VsthostTest, InfoShowsWhatThePresetAndSettingsGiveWithTrimmedTexts)
{
#ifndef DC_PLUGIN_PATH
    GTEST_SKIP() << "the plug-in is not built";
#else
    const std::string effect = DC_PLUGIN_PATH;
    ASSERT_EQ(run("save " + effect + " --set PreGain=0.8 -o " + at("gain.fxp")).status, 0);
    const Outcome preset = run("info " + effect + " --preset " + at("gain.fxp") + " --set PostGain=0.2");
    ASSERT_EQ(preset.status, 0) << preset.err;
    EXPECT_NE(preset.out.find("  0  PreGain                    0.8000  30 amt\n"), std::string::npos) << preset.out;
    EXPECT_NE(preset.out.find("  2  PostGain                   0.2000  -30 amt\n"), std::string::npos) << preset.out;
    const Outcome raw = run("info " + effect + " --raw");
    EXPECT_NE(raw.out.find("  0  \"PreGain\"                  0.5000  \"      0\" \"amt\"\n"), std::string::npos) << raw.out;
#endif
}

TEST_F(VsthostTest, AnEffectNamedByItsFileNameIsThatFileInTheCurrentFolder)
{
    fs::copy_file(DC_PLUGIN_PATH, at("DitherCrunch.so"));
    const Outcome info = run("info DitherCrunch.so");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("name:       DitherCrunch\n"), std::string::npos) << info.out;
    EXPECT_EQ(run("save DitherCrunch.so --set PreGain=0.8 -o crunch.fxp").status, 0);
    const Outcome rendered = run("render DitherCrunch.so --generate sine --seconds 0.1 -p crunch.fxp -q -o out.wav");
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_EQ(files(), (std::vector<std::string>{"DitherCrunch.so", "crunch.fxp", "empty", "out.wav"}));
    expectAll({{"info Missing.so", 1, "effect not found: Missing.so"}});
}

TEST_F(VsthostTest, SaveNamesTheProgramItWrites)
{
    ASSERT_EQ(run(std::string("save ") + DC_PLUGIN_PATH + " --name \"Warm Crunch\" -o " + at("named.fxp")).status, 0);
    const Outcome info = run(std::string("info ") + DC_PLUGIN_PATH + " --preset " + at("named.fxp"));
    EXPECT_NE(info.out.find("    0  Warm Crunch  (current)\n"), std::string::npos) << info.out;
    expectAll({{std::string("save ") + DC_PLUGIN_PATH + " --name 1234567890123456789012345 -o " + at("long.fxp"), 2,
                "program names hold at most 24 characters"}});
    EXPECT_FALSE(fs::exists(at("long.fxp")));
}

class VsthostEffectTest : public VsthostTest, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(VsthostEffectTest, SavedPresetsRenderLikeTheSettingsTheyHold)
{
    if (!fs::exists(GetParam()))
        GTEST_SKIP() << GetParam() << " is not built or installed";
    const std::string settings = "--set 0=0.8 --set 1=0.3";
    ASSERT_EQ(run("save " + GetParam() + " " + settings + " -o " + at("state.fxp")).status, 0);
    ASSERT_EQ(run("save " + GetParam() + " " + settings + " -o " + at("state.fxb")).status, 0);
    const std::string render = "render " + GetParam() + " --generate noise --seconds 0.5 --rate 44100 --block 300 ";
    ASSERT_EQ(run(render + settings + " -q -o " + at("direct.wav")).status, 0);
    const Outcome program = run(render + "--preset " + at("state.fxp") + " -o " + at("program.wav"));
    ASSERT_EQ(program.status, 0) << program.err;
    EXPECT_NE(program.out.find("output 2 ch, 22050 frames at 44100 Hz"), std::string::npos) << program.out;
    ASSERT_EQ(run(render + "--preset " + at("state.fxb") + " -q -o " + at("bank.wav")).status, 0);
    ASSERT_EQ(run(render + " -q -o " + at("default.wav")).status, 0);

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
