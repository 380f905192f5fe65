// The auhost program as a user runs it, beside vsthost: exit codes,
// messages and files, for parameter ranges, preset files of both kinds and
// the conversion of VST presets.
#include "ToolProcess.h"
#include "tools/kit/SoundFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class AuhostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("HOME", (dir / "home").c_str(), 1);
        setenv("TWINFOLD_LOCAL_DOMAIN", (dir / "local").c_str(), 1);
        fs::copy(DC_AU_BUNDLE, dir / "DitherCrunch.component", fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir); }

    // auhost in the test's folder, the bundle named as a user in that folder names it.
    Outcome auhost(const std::string& arguments) const { return tool.run(commandLine(DC_AUHOST, arguments)); }
    Outcome vsthost(const std::string& arguments) const { return tool.run(commandLine(DC_VSTHOST, arguments)); }
    static std::string commandLine(const char* program, const std::string& arguments)
    {
        std::string line = program;
        line += ' ';
        line += arguments;
        return line;
    }
    std::vector<float> samples(const std::string& name) const { return SoundFile::read(tool.at(name)).samples; }

    const fs::path dir = fs::temp_directory_path() / ("auhost-" + std::to_string(getpid()));
    const ToolProcess tool{dir};
    const std::string render = "render DitherCrunch.component --generate noise --seconds 0.3 -q ";
};

TEST_F(AuhostTest, SetRefusesAValueOutsideTheParameterRangeOrAnUnknownParameter)
{
    struct Case
    {
        std::string arguments, message;
    };
    for (const Case& c : std::vector<Case>{
             {render + "-o a.wav --set PreGain=-500", "bad --set \"PreGain=-500\": PreGain runs from -50 to 50 amt"},
             {render + "-o a.wav --set \"Wet Dry=150\"", "bad --set \"Wet Dry=150\": Wet Dry runs from 0 to 100 %"},
             {"save DitherCrunch.component -o a.aupreset --set 2=50.5", "PostGain runs from -50 to 50"},
             {render + "-o a.wav --set Nope=1", "no parameter named \"Nope\""},
             {render + "-o a.wav --set 99=1", "no parameter with ID 99"},
         })
    {
        const Outcome got = auhost(c.arguments);
        EXPECT_EQ(got.status, 2) << c.arguments;
        EXPECT_NE(got.err.find(c.message), std::string::npos) << c.arguments << "\n" << got.err;
    }
    EXPECT_EQ(tool.files(), std::vector<std::string>{"DitherCrunch.component"}) << "nothing written";
    const Outcome edges = auhost(render + "-o edges.wav --set PreGain=-50 --set \"Wet Dry=100\" --set PostGain=50");
    EXPECT_EQ(edges.status, 0) << edges.err;
}

TEST_F(AuhostTest, VSTPresetsLoadWithPresetAndRenderAsVsthostRendersThem)
{
    ASSERT_EQ(vsthost(std::string("save ") + DC_PLUGIN_PATH + " --set PreGain=0.85 --set \"Post Cut=0.3\" --set PostFlTy=0.34 --name Crunchy -o crunch.fxp").status, 0);
    ASSERT_EQ(vsthost(std::string("save ") + DC_PLUGIN_PATH + " --set PreGain=0.2 -o quiet.fxb").status, 0);
    ASSERT_EQ(auhost(render + "-o default.wav").status, 0);
    for (const char* preset : {"crunch.fxp", "quiet.fxb"})
    {
        const Outcome au = auhost(render + "--preset " + preset + " -o au.wav");
        ASSERT_EQ(au.status, 0) << au.err;
        ASSERT_EQ(vsthost(std::string("render ") + DC_PLUGIN_PATH + " --generate noise --seconds 0.3 -q --preset " + preset + " -o vst.wav").status, 0);
        EXPECT_EQ(samples("au.wav"), samples("vst.wav")) << preset;
        EXPECT_NE(samples("au.wav"), samples("default.wav")) << preset;
    }

    // The state written from a VST preset keeps the program's name, and loads with --state and --preset alike.
    const Outcome saved = auhost("save DitherCrunch.component --preset crunch.fxp -o crunch.aupreset");
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(contents(tool.at("crunch.aupreset")).find("<string>Crunchy</string>"), std::string::npos);
    ASSERT_EQ(auhost(render + "--state crunch.aupreset -o state.wav").status, 0);
    ASSERT_EQ(auhost(render + "--preset crunch.aupreset -o preset.wav").status, 0);
    ASSERT_EQ(vsthost(std::string("render ") + DC_PLUGIN_PATH + " --generate noise --seconds 0.3 -q --preset crunch.fxp -o vst.wav").status, 0);
    EXPECT_EQ(samples("state.wav"), samples("vst.wav"));
    EXPECT_EQ(samples("preset.wav"), samples("vst.wav"));

    const Outcome named = auhost("save DitherCrunch.component --preset crunch.fxp --name \"My Crunch\" -o named.aupreset");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_NE(contents(tool.at("named.aupreset")).find("<string>My Crunch</string>"), std::string::npos);
}

TEST_F(AuhostTest, EachPresetOptionHasOneMeaningAndAMisplacedFileIsNamed)
{
    ASSERT_EQ(vsthost(std::string("save ") + DC_PLUGIN_PATH + " -o crunch.fxp").status, 0);
    const Outcome state = auhost("save DitherCrunch.component --state crunch.fxp -o x.aupreset");
    EXPECT_EQ(state.status, 2);
    EXPECT_NE(state.err.find("crunch.fxp is a VST program (FXP), not an AudioUnit state: load it with --preset crunch.fxp, or "
                             "convert it to an .aupreset first with auhost convert BUNDLE crunch.fxp"),
              std::string::npos)
        << state.err;
    const Outcome extension = auhost("save DitherCrunch.component -o x.fxp");
    EXPECT_EQ(extension.status, 2);
    EXPECT_NE(extension.err.find("save writes .aupreset files, not \"x.fxp\""), std::string::npos) << extension.err;
    EXPECT_EQ(tool.files(), (std::vector<std::string>{"DitherCrunch.component", "crunch.fxp"}));

    const Outcome factory = auhost("save DitherCrunch.component --factory 0 -o factory.aupreset");
    EXPECT_EQ(factory.status, 0) << factory.err;
    EXPECT_NE(auhost("save DitherCrunch.component --factory 5 -o none.aupreset").err.find("no factory preset 5"), std::string::npos);
    // The number --preset once took still works, with a word on the new spelling.
    const Outcome legacy = auhost("save DitherCrunch.component --preset 0 -o legacy.aupreset");
    EXPECT_EQ(legacy.status, 0) << legacy.err;
    EXPECT_NE(legacy.err.find("--preset takes a preset file now; factory preset 0 is --factory 0"), std::string::npos) << legacy.err;
    EXPECT_EQ(contents(tool.at("legacy.aupreset")), contents(tool.at("factory.aupreset")));
    EXPECT_EQ(auhost("info DitherCrunch.component").status, 0) << "a bundle in the current folder, named bare";
}

TEST_F(AuhostTest, ConvertTakesFilesAndFoldersReportsEachFailureAndNeverReplaces)
{
    fs::create_directories(dir / "vst");
    ASSERT_EQ(vsthost(std::string("save ") + DC_PLUGIN_PATH + " --set PreGain=0.9 -o vst/Warm.fxp").status, 0);
    ASSERT_EQ(vsthost(std::string("save ") + DC_PLUGIN_PATH + " -o vst/Bank.fxb").status, 0);
    std::ofstream(dir / "vst" / "empty.fxp");
    std::ofstream(dir / "vst" / "junk.fxp") << "hello";
    std::string other = contents(dir / "vst" / "Warm.fxp");
    other.replace(16, 4, "XXXX"); // another plug-in's ID
    std::ofstream(dir / "vst" / "Other.fxp", std::ios::binary) << other;
    std::ofstream(dir / "vst" / "notes.txt") << "not a preset";

    const Outcome first = auhost("convert DitherCrunch.component vst -o out");
    EXPECT_EQ(first.status, 1) << "a preset failed";
    for (const char* line : {"wrote    out/Bank/Init 1.aupreset\n", "wrote    out/Warm.aupreset\n",
                             "failed   vst/empty.fxp: the file is empty\n", "failed   vst/junk.fxp: not a VST preset (no FXP or FXB header)\n",
                             "failed   vst/Other.fxp: the unit cannot load it", "2 written, 0 skipped, 3 failed\n"})
        EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;
    EXPECT_EQ(ToolProcess(dir / "out").files(), (std::vector<std::string>{"Bank", "Warm.aupreset"}));
    const std::string warm = contents(dir / "out" / "Warm.aupreset");

    const Outcome second = auhost("convert DitherCrunch.component vst/Warm.fxp vst/Bank.fxb -o out");
    EXPECT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_NE(second.out.find("skipped  vst/Warm.fxp: out/Warm.aupreset exists (converted before)"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("0 written, 2 skipped, 0 failed"), std::string::npos) << second.out;
    EXPECT_EQ(contents(dir / "out" / "Warm.aupreset"), warm);

    // Beside the source without -o; the document plays as the preset does.
    const Outcome beside = auhost("convert DitherCrunch.component vst/Warm.fxp");
    EXPECT_EQ(beside.status, 0) << beside.out;
    EXPECT_EQ(contents(dir / "vst" / "Warm.aupreset"), warm);
    ASSERT_EQ(auhost(render + "--state vst/Warm.aupreset -o converted.wav").status, 0);
    ASSERT_EQ(auhost(render + "--preset vst/Warm.fxp -o direct.wav").status, 0);
    EXPECT_EQ(samples("converted.wav"), samples("direct.wav"));

    // Without files: the unit's own folders, named, and how to convert others.
    const Outcome folders = auhost("convert DitherCrunch.component");
    EXPECT_EQ(folders.status, 0);
    EXPECT_NE(folders.out.find("user: " + (dir / "home").string() + "/Library/Audio/Presets/Tarnby Audio/DitherCrunch (no such folder)"),
              std::string::npos)
        << folders.out;
    EXPECT_NE(folders.out.find("auhost convert BUNDLE FILE.fxp|FILE.fxb|FOLDER... [-o FOLDER]"), std::string::npos) << folders.out;
}

} // namespace
