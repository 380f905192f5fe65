#include "tools/CommandLine.h"

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
                                                      "--tail 1 -q"));
    EXPECT_EQ(line.command, CommandLine::Command::render);
    EXPECT_EQ(line.effect + line.generate + line.output + line.preset, "fx.sosweepout.flacp.fxb");
    EXPECT_EQ(line.seconds + line.channels + *line.sampleRate + line.blockSize + line.tailSeconds, 2.5 + 1 + 96000 + 64 + 1);
    ASSERT_EQ(line.settings.size(), 2u);
    EXPECT_EQ(line.settings[1].parameter, "PreGain");
    EXPECT_EQ(line.settings[1].value, 1.0f);
    ASSERT_EQ(line.controlChanges.size(), 2u);
    const ControlChange& c = line.controlChanges[0];
    EXPECT_EQ(c.seconds * 1000 + c.controller + c.value + c.channel, 1500 + 70 + 100 + 1);
    EXPECT_EQ(line.controlChanges[1].channel, 16);
    EXPECT_TRUE(line.quiet);
    EXPECT_EQ(parseSetting("Wet Dry=0.5").parameter, "Wet Dry");
    EXPECT_TRUE(CommandLine::parse(words("save fx.so -o a.fxb")).bank);
    EXPECT_FALSE(CommandLine::parse(words("save fx.so -o a.fxp")).bank);
}

class BadCommandLine : public ::testing::TestWithParam<const char*>
{
};

TEST_P(BadCommandLine, IsAUsageError)
{
    EXPECT_THROW(CommandLine::parse(words(GetParam())), UsageError) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadCommandLine,
    ::testing::Values("bogus fx.so", "render", "render fx.so -o out.wav", "render fx.so -i in.wav --generate sine -o o.wav", "render fx.so -i in.wav",
                      "render fx.so --generate square -o o.wav", "render fx.so -i in.wav --rate 44100 -o o.wav",
                      "render fx.so --generate sine --rate 12 -o o.wav", "render fx.so --generate sine --rate nan -o o.wav",
                      "render fx.so --generate sine --seconds -1 -o o.wav", "render fx.so --generate sine --block 0 -o o.wav",
                      "render fx.so --generate sine --block 2x -o o.wav", "render fx.so --generate sine --tail -2 -o o.wav",
                      "render fx.so --generate sine -o o.wav --set 0", "render fx.so --generate sine -o o.wav --set 0=1.5",
                      "render fx.so --generate sine -o o.wav --set 0=abc", "render fx.so --generate sine -o o.wav --cc 1:70",
                      "render fx.so --generate sine -o o.wav --cc -1:70:1", "render fx.so --generate sine -o o.wav --cc 1:128:1",
                      "render fx.so --generate sine -o o.wav --cc 1:70:1:17", "render fx.so --generate sine -o o.wav --bogus",
                      "render fx.so --generate sine -o", "render fx.so other.so --generate sine -o o.wav", "save fx.so", "save fx.so -o a.wav",
                      "save fx.so -o a.fxp --bank", "info fx.so -o x.wav"));

} // namespace
