#include "FrameTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace
{

enum class Helper { Int, Float, dB, Hz, ms };

struct TextCase
{
    Helper helper;
    double value;
    VstInt32 maxLen;
    const char* expected; // null: the buffer stays untouched
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << int(c.helper) << " " << c.value << " max " << c.maxLen; }

class ValueText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(ValueText, WritesExpectedTextWithinMaxLen)
{
    const TextCase& c = GetParam();
    PlainEffect fx(nullptr, 1, 1);
    char text[24];
    std::memset(text, '#', sizeof(text));
    const float f = float(c.value);
    switch (c.helper)
    {
    case Helper::Int: fx.int2string(VstInt32(c.value), text, c.maxLen); break;
    case Helper::Float: fx.float2string(f, text, c.maxLen); break;
    case Helper::dB: fx.dB2string(f, text, c.maxLen); break;
    case Helper::Hz: fx.Hz2string(f, text, c.maxLen); break;
    case Helper::ms: fx.ms2string(f, text, c.maxLen); break;
    }
    if (!c.expected)
    {
        EXPECT_EQ(text[0], '#');
        return;
    }
    const size_t n = std::strlen(c.expected);
    ASSERT_LT(n, sizeof(text) - 1);
    EXPECT_EQ(std::string(text, n), c.expected);
    EXPECT_EQ(text[n], 0);
    EXPECT_EQ(text[n + 1], '#'); // nothing written past the terminator
}

constexpr VstInt32 kWide = 16;
INSTANTIATE_TEST_SUITE_P(Helpers, ValueText, ::testing::Values(
    TextCase{Helper::Float, 1.5, kWide, "1.500000"}, TextCase{Helper::Float, 123.456, kWide, "123.4560"},
    TextCase{Helper::Float, -1.5, kWide, "-1.50000"}, TextCase{Helper::Float, 0.0, kWide, "0.000000"},
    TextCase{Helper::Float, -0.0, kWide, "0.000000"}, TextCase{Helper::Float, 0.3, kWide, "0.300000"},
    // Truncated digit by digit, never carried up to 1.000000.
    TextCase{Helper::Float, 0.9999999, kWide, "0.999999"},
    // Integer parts that fill the field are shown whole, without a point.
    TextCase{Helper::Float, 12345678.0, kWide, "12345678"}, TextCase{Helper::Float, -1234567.0, kWide, "-1234567"},
    TextCase{Helper::Float, 1234567.0, kWide, "1234567."}, TextCase{Helper::Float, -123456.0, kWide, "-123456."},
    TextCase{Helper::Float, 99999999.0, kWide, "Huge!"}, TextCase{Helper::Float, -10000000.0, kWide, "Huge!"},
    TextCase{Helper::Float, INFINITY, kWide, "Huge!"}, TextCase{Helper::Float, -INFINITY, kWide, "Huge!"},
    TextCase{Helper::Float, NAN, kWide, "NaN"}, TextCase{Helper::Float, 1.5, 4, "1.50"},
    TextCase{Helper::Int, 99999999, kWide, "99999999"}, TextCase{Helper::Int, 100000000, kWide, "Huge!"},
    TextCase{Helper::Int, -42, kWide, "-42"}, TextCase{Helper::Int, 0, kWide, "0"},
    TextCase{Helper::Int, INT_MIN, kWide, "-2147483648"}, TextCase{Helper::Int, INT_MAX, kWide, "Huge!"},
    TextCase{Helper::Int, 100000000, 3, "Hug"}, TextCase{Helper::Int, 100000000, 0, ""},
    TextCase{Helper::Int, 5, -1, nullptr}, TextCase{Helper::Float, 1.5, -8, nullptr},
    TextCase{Helper::dB, 1.0, kWide, "0.000000"}, TextCase{Helper::dB, 0.0, kWide, "-oo"},
    TextCase{Helper::dB, -1.0, kWide, "-oo"}, TextCase{Helper::dB, 10.0, kWide, "20.00000"},
    TextCase{Helper::dB, NAN, kWide, "NaN"}, TextCase{Helper::dB, 0.0, 2, "-o"},
    TextCase{Helper::Hz, 100.0, kWide, "441.0000"}, TextCase{Helper::Hz, 0.0, kWide, "0.000000"},
    TextCase{Helper::Hz, 1e-30, kWide, "Huge!"}, TextCase{Helper::ms, 441.0, kWide, "10.00000"},
    TextCase{Helper::ms, 3e38, kWide, "Huge!"}));

TEST(ValueTextNull, NullTextIsLeftAlone)
{
    PlainEffect fx(nullptr, 1, 1);
    fx.int2string(1, nullptr, 8);
    fx.float2string(1.0f, nullptr, 8);
    fx.dB2string(0.0f, nullptr, 8);
    fx.Hz2string(1.0f, nullptr, 8);
    fx.ms2string(1.0f, nullptr, 8);
}

TEST(ValueTextRate, MsWithZeroSampleRateIsDefined)
{
    PlainEffect fx(nullptr, 1, 1);
    fx.setSampleRate(0.0f);
    char text[16];
    fx.ms2string(0.0f, text, 8);
    EXPECT_STREQ(text, "NaN");
    fx.ms2string(1.0f, text, 8);
    EXPECT_STREQ(text, "Huge!");
}

} // namespace
