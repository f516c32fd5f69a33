// SPDX-License-Identifier: GPL-3.0-or-later
// The number-to-text helpers every effect can use for its displays.
#include "host/audioeffect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class PlainEffect : public AudioEffect {
public:
    PlainEffect() : AudioEffect(nullptr, 0, 0) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

std::string floatText(float value, VstInt32 maxLen = 8)
{
    PlainEffect effect;
    char text[32];
    std::memset(text, 'x', sizeof text);
    effect.float2string(value, text, maxLen);
    return text;
}

std::string intText(VstInt32 value, VstInt32 maxLen = 8)
{
    PlainEffect effect;
    char text[32];
    std::memset(text, 'x', sizeof text);
    effect.int2string(value, text, maxLen);
    return text;
}

TEST(Float2String, WritesEightCharactersWithTruncatedFraction)
{
    EXPECT_EQ(floatText(1.5f), "1.500000");
    EXPECT_EQ(floatText(-1.5f), "-1.50000");
    EXPECT_EQ(floatText(0.0f), "0.000000");
    EXPECT_EQ(floatText(123.456f), "123.4560");
    // 2/3 as a float is 0.666666686...: truncation keeps 6s where rounding would give 7.
    EXPECT_EQ(floatText(2.0f / 3.0f), "0.666666");
    EXPECT_EQ(floatText(1234567.0f), "1234567.");
}

TEST(Float2String, AnswersHugeBeyondTheEightCharacterRange)
{
    EXPECT_EQ(floatText(100000000.0f), "Huge!");
    EXPECT_EQ(floatText(-10000000.0f), "Huge!");
    // An integer part that cannot fit whole is not shown without its leading digit.
    EXPECT_EQ(floatText(12345678.0f), "Huge!");
    EXPECT_EQ(floatText(-1234567.0f), "Huge!");
    EXPECT_EQ(floatText(-123456.0f), "-123456.");
}

TEST(Float2String, RespectsMaxLenWithATerminatorAtMaxLen)
{
    PlainEffect effect;
    char text[16];
    std::memset(text, 'x', sizeof text);
    effect.float2string(1.5f, text, 3);
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(text[3], 0);
    EXPECT_EQ(text[4], 'x');
}

TEST(Int2String, WritesDigitsWithoutLeadingZeros)
{
    EXPECT_EQ(intText(-42), "-42");
    EXPECT_EQ(intText(7), "7");
    EXPECT_EQ(intText(99999999), "99999999");
    EXPECT_EQ(intText(100000000), "Huge!");
    EXPECT_EQ(intText(-100000000), "Huge!");
    EXPECT_EQ(intText(0), "0");
    EXPECT_EQ(intText(1000), "1000");
    EXPECT_EQ(intText(12345, 3), "123");
}

TEST(DecibelAndTimeTexts, FollowTheFloatFormat)
{
    PlainEffect effect;
    char text[32];
    effect.dB2string(0.0f, text, 8);
    EXPECT_STREQ(text, "-oo");
    effect.dB2string(-1.0f, text, 8);
    EXPECT_STREQ(text, "-oo");
    effect.dB2string(1.0f, text, 8);
    EXPECT_STREQ(text, "0.000000");
    effect.dB2string(10.0f, text, 8);
    EXPECT_STREQ(text, "20.00000");
    // 44100 samples per second: 441 samples last 10 ms and repeat at 100 Hz.
    effect.ms2string(441.0f, text, 8);
    EXPECT_STREQ(text, "10.00000");
    effect.Hz2string(441.0f, text, 8);
    EXPECT_STREQ(text, "100.0000");
    effect.Hz2string(0.0f, text, 8);
    EXPECT_STREQ(text, "0.000000");
}

} // namespace
