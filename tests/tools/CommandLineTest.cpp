#include "tools/vsthost/CommandLine.h"
#include "tools/kit/ToolCommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

TEST(CommandLine, ParsesARenderWithEveryOption)
{
    const CommandLine line = CommandLine::parse(words("render fx.so --generate sweep --seconds 2.5 --channels 1 --rate 96000 -o out.flac "
                                                      "--block 64 --preset p.fxb --set 3=0.25 --set PreGain=1 --cc 1.5:70:100 --cc 0:71:0:16 "
                                                      "--tail 1 --format=pcm16 -q"));
    EXPECT_EQ(line.command, CommandLine::Command::render);
    const RenderOptions& r = line.render;
    EXPECT_EQ(line.effect + r.generate + r.output + line.preset, "fx.sosweepout.flacp.fxb");
    EXPECT_EQ(r.seconds + r.channels + *line.sampleRate + r.blockSize + r.tailSeconds, 2.5 + 1 + 96000 + 64 + 1);
    ASSERT_EQ(line.settings.size(), 2u);
    EXPECT_EQ(line.settings[1].parameter, "PreGain");
    EXPECT_EQ(line.settings[1].value, 1.0f);
    ASSERT_EQ(r.controlChanges.size(), 2u);
    const ControlChange& c = r.controlChanges[0];
    EXPECT_EQ(c.seconds * 1000 + c.controller + c.value + c.channel, 1500 + 70 + 100 + 1);
    EXPECT_EQ(r.controlChanges[1].channel, 16);
    EXPECT_TRUE(line.quiet);
    EXPECT_EQ(r.format, SampleFormat::pcm16);
    EXPECT_EQ(parseSetting("Wet Dry=0.5").parameter, "Wet Dry");
    EXPECT_TRUE(CommandLine::parse(words("save fx.so -o a.fxb")).bank);
    EXPECT_FALSE(CommandLine::parse(words("save fx.so -o a.fxp")).bank);
    const CommandLine info = CommandLine::parse(words("info fx.so -p a.fxp --set 0=1 --raw"));
    EXPECT_EQ(info.preset + (info.raw ? "+raw" : ""), "a.fxp+raw");
}

TEST(CommandLine, HelpAndVersionAreAnswersNotCommands)
{
    auto parse = [](const std::vector<std::string>& arguments) {
        CommandLine line;
        return CommandLine::describe(line)->parse(arguments);
    };
    EXPECT_TRUE(parse(words("--version")).version);
    for (const char* asked : {"--help", "-h", "help", "help render", "--help render", "render --help", "render fx.so -o x.wav -h"})
        EXPECT_TRUE(parse(words(asked)).help) << asked;
    EXPECT_EQ(parse(words("help save")).command, "save");
    EXPECT_EQ(parse(words("--help save")).command, "save");
    EXPECT_TRUE(parse({}).command.empty());
    CommandLine line;
    EXPECT_NE(CommandLine::describe(line)->help("render").find("--format F"), std::string::npos);
}

class BadCommandLine : public ::testing::TestWithParam<std::pair<const char*, const char*>>
{
};

TEST_P(BadCommandLine, IsAUsageErrorNamingTheMistake)
{
    const auto [arguments, message] = GetParam();
    try
    {
        CommandLine::parse(words(arguments));
        ADD_FAILURE() << arguments;
    }
    catch (const UsageError& e)
    {
        EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << arguments << ": " << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadCommandLine,
    ::testing::Values(std::pair{"bogus fx.so", "unknown command"}, std::pair{"render", "no effect"},
                      std::pair{"render fx.so -o out.wav", "either -i INPUT or --generate"},
                      std::pair{"render fx.so -i in.wav --generate sine -o o.wav", "either"}, std::pair{"render fx.so -i in.wav", "needs -o"},
                      std::pair{"render fx.so --generate square -o o.wav", "bad --generate"},
                      std::pair{"render fx.so -i in.wav --rate 44100 -o o.wav", "apply to generated signals"},
                      std::pair{"render fx.so -i in.wav --channels 2 -o o.wav", "apply to generated signals"},
                      std::pair{"render fx.so --generate sine --rate 12 -o o.wav", "from 1000 to 768000"},
                      std::pair{"render fx.so --generate sine --rate 44100.5 -o o.wav", "whole numbers of Hz"},
                      std::pair{"render fx.so --generate sine --rate nan -o o.wav", "not a number"},
                      std::pair{"render fx.so --generate sine --seconds -1 -o o.wav", "bad --seconds"},
                      std::pair{"render fx.so --generate sine --block 0 -o o.wav", "bad --block"},
                      std::pair{"render fx.so --generate sine --block 2x -o o.wav", "bad --block"},
                      std::pair{"render fx.so --generate sine --tail -2 -o o.wav", "bad --tail"},
                      std::pair{"render fx.so --generate sine -o o.wav --set 0", "expected PARAMETER=VALUE"},
                      std::pair{"render fx.so --generate sine -o o.wav --set 0=1.5", "values run from 0 to 1"},
                      std::pair{"render fx.so --generate sine -o o.wav --set 0=abc", "not a number"},
                      std::pair{"render fx.so --generate sine -o o.wav --cc 1:70", "expected SECONDS:CONTROLLER"},
                      std::pair{"render fx.so --generate sine -o o.wav --cc -1:70:1", "cannot be negative"},
                      std::pair{"render fx.so --generate sine -o o.wav --cc 1:128:1", "bad --cc controller"},
                      std::pair{"render fx.so --generate sine -o o.wav --cc 1:70:1:17", "bad --cc channel"},
                      std::pair{"render fx.so --generate sine -o o.wav --bogus", "unknown option --bogus"},
                      std::pair{"render fx.so --generate sine -o", "needs a value"},
                      std::pair{"render fx.so --generate sine -o a.wav -o b.wav", "-o given twice"},
                      std::pair{"render fx.so other.so --generate sine -o o.wav", "unexpected argument"},
                      std::pair{"render fx.so --generate sine -o o.mp3", "unknown output format"},
                      std::pair{"render fx.so --generate sine -o o.flac --format float", "FLAC cannot hold float"},
                      std::pair{"render fx.so --generate sine -o o.wav --format pcm8", "bad --format"},
                      std::pair{"render fx.so --generate sine -o o.wav --raw", "render does not use --raw"},
                      std::pair{"save fx.so", "needs -o"}, std::pair{"save fx.so -o a.wav", "writes .fxp"},
                      std::pair{"save fx.so -o a.fxp --bank", "writes .fxp"}, std::pair{"save fx.so -o a.fxp --cc 1:70:1", "save does not use --cc"},
                      std::pair{"save fx.so -o a.fxp --tail 1", "save does not use --tail"},
                      std::pair{"save fx.so -o a.fxp --generate sine", "save does not use --generate"},
                      std::pair{"info fx.so -o x.wav", "info does not use -o"}, std::pair{"info fx.so --block 64", "info does not use --block"},
                      std::pair{"help bogus", "help takes one command"}));

} // namespace
