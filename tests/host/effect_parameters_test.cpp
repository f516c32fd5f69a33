// SPDX-License-Identifier: GPL-3.0-or-later
// The effect's identity, parameters, tapers and texts, on the class itself.
#include "effect/parameter_taper.h"
#include "effect/quarvine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace {

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class EffectParameters : public ::testing::Test {
protected:
    std::string display(VstInt32 index)
    {
        char text[64];
        std::memset(text, 'x', sizeof text);
        effect.getParameterDisplay(index, text);
        return text;
    }
    std::string name(VstInt32 index)
    {
        char text[64];
        std::memset(text, 'x', sizeof text);
        effect.getParameterName(index, text);
        return text;
    }
    double load(const std::atomic<double>& field) { return quarvine::AmpControls::load(field); }
    Quarvine effect{quietHost};
};

// The taper written out independently: 1.1426 v^3 - 0.1662 v^2 + 0.0229 v.
double cubic(double v)
{
    return 1.1426 * std::pow(v, 3) - 0.1662 * std::pow(v, 2) + 0.0229 * v;
}

TEST_F(EffectParameters, DefaultsAndTheirTexts)
{
    for (VstInt32 i = 0; i < 5; ++i) {
        EXPECT_EQ(effect.getParameter(i), 0.5f);
        EXPECT_EQ(display(i), "5.000");
    }
    EXPECT_EQ(effect.getParameter(5), 1.0f);
    EXPECT_EQ(display(5), "10.000");
    EXPECT_NEAR(load(effect.controls().masterLevel), 0.112725, 1e-12);
    EXPECT_NEAR(load(effect.controls().driveLevel), 0.112725, 1e-12);
    EXPECT_NEAR(load(effect.controls().bassLevel), 0.112725, 1e-12);
    EXPECT_EQ(load(effect.controls().trebleSetting), 0.5);
    EXPECT_EQ(load(effect.controls().middleSetting), 0.5);
    EXPECT_EQ(load(effect.controls().fixedToneSetting), 0.5);
    EXPECT_EQ(load(effect.controls().outputVolume), 1.0);
}

TEST_F(EffectParameters, TaperClampsOnlyAtTheEnds)
{
    using Field = std::atomic<double> quarvine::AmpControls::*;
    const Field tapered[] = {&quarvine::AmpControls::masterLevel, &quarvine::AmpControls::driveLevel, nullptr,
                             nullptr, &quarvine::AmpControls::bassLevel};
    for (VstInt32 index : {0, 1, 4}) {
        const auto level = [&] { return load(effect.controls().*tapered[index]); };
        effect.setParameter(index, 0.0f);
        EXPECT_EQ(level(), 0.0001);
        effect.setParameter(index, 1.0f);
        EXPECT_NEAR(level(), 0.9993, 1e-12);
        effect.setParameter(index, 0.5f);
        EXPECT_NEAR(level(), 0.112725, 1e-12);
        effect.setParameter(index, 0.3f);
        EXPECT_NEAR(level(), cubic(0.3f), 1e-12);
        effect.setParameter(index, 1.1f);
        EXPECT_EQ(level(), 0.9999);
        effect.setParameter(index, -0.5f);
        EXPECT_EQ(level(), 0.0001);
        EXPECT_EQ(effect.getParameter(index), 0.0f); // shown at the end of the knob's travel
    }
    // The lower clamp acts below about 0.00451 and not above.
    EXPECT_EQ(quarvine::parameterTaper(0.0045f), 0.0001);
    EXPECT_GT(quarvine::parameterTaper(0.0046f), 0.0001);
    // The upper clamp begins just above 1.00019.
    EXPECT_LT(quarvine::parameterTaper(1.0001f), 0.9999);
    EXPECT_EQ(quarvine::parameterTaper(1.0003f), 0.9999);
}

TEST_F(EffectParameters, UntaperedParametersAreWidenedUnchanged)
{
    effect.setParameter(2, 0.0f);
    EXPECT_EQ(load(effect.controls().trebleSetting), 0.0);
    effect.setParameter(3, 1.5f);
    EXPECT_EQ(load(effect.controls().middleSetting), 1.5);
    effect.setParameter(5, 0.0f);
    EXPECT_EQ(load(effect.controls().outputVolume), 0.0);
    effect.setParameter(5, 0.1f);
    EXPECT_EQ(load(effect.controls().outputVolume), static_cast<double>(0.1f));
}

// A finite host value far outside the knob's travel is shown at the end of the travel (so nothing
// that draws it turns an infinite angle into a pixel position), while the model gets it as it came.
TEST_F(EffectParameters, ShownValuesStayOnTheKnobsTravel)
{
    effect.setParameter(5, 7e37f);
    EXPECT_EQ(effect.getParameter(5), 1.0f);
    EXPECT_EQ(load(effect.controls().outputVolume), static_cast<double>(7e37f));
    effect.setParameter(2, -3e38f);
    EXPECT_EQ(effect.getParameter(2), 0.0f);
    effect.setParameter(3, 1.5f);
    EXPECT_EQ(effect.getParameter(3), 1.0f);
    char text[kVstMaxParamStrLen + 1] = {};
    effect.getParameterDisplay(3, text);
    EXPECT_STREQ(text, "10.000");
    effect.setParameter(3, 0.25f);
    EXPECT_EQ(effect.getParameter(3), 0.25f);
}

TEST_F(EffectParameters, NamesLabelsAndDisplays)
{
    EXPECT_EQ(name(0), "Master  ");
    EXPECT_EQ(name(1), "Drive   ");
    EXPECT_EQ(name(2), "Treble  ");
    EXPECT_EQ(name(3), "Middle  ");
    EXPECT_EQ(name(4), "Bass    ");
    EXPECT_EQ(name(5), "Volume  ");
    EXPECT_EQ(name(6), "Oversamp");
    EXPECT_EQ(name(7), "Cabinet ");
    EXPECT_EQ(name(8), "No Idea ");
    EXPECT_EQ(name(-1), "No Idea ");
    char label[16];
    std::memset(label, 'x', sizeof label);
    effect.getParameterLabel(77, label);
    EXPECT_STREQ(label, "        ");
    effect.setParameter(2, 0.1234f);
    EXPECT_EQ(display(2), "1.234");
    effect.setParameter(2, 0.99995f);
    EXPECT_EQ(display(2), "9.999"); // 0.99995f is 0.99994999..., so 9.9994999 shows as 9.999
    // Values off the travel are shown at its ends, never longer than eight characters.
    effect.setParameter(2, 123.456f);
    EXPECT_EQ(display(2), "10.000");
    effect.setParameter(2, 1e9f);
    EXPECT_EQ(display(2).size(), 6u);
    effect.setParameter(2, -0.5f);
    EXPECT_EQ(display(2), "0.000");
    // The cabinet's six positions at fifths of the range, ends included.
    const std::pair<float, const char*> cabinets[] = {{0.0f, "Off"}, {0.2f, "1x10 Opn"}, {0.6f, "4x12 Cls"},
                                                     {0.8f, "4x12 Ang"}, {1.0f, "User"},  {7.0f, "User"}};
    for (const auto& [value, text] : cabinets) {
        effect.setParameter(7, value);
        EXPECT_EQ(display(7), text) << value;
    }
}

TEST_F(EffectParameters, IdentityAndPins)
{
    char text[80];
    EXPECT_TRUE(effect.getEffectName(text));
    EXPECT_STREQ(text, "Quarvine");
    EXPECT_TRUE(effect.getVendorString(text));
    EXPECT_STREQ(text, "Orn");
    EXPECT_TRUE(effect.getProductString(text));
    EXPECT_STREQ(text, "Orn Quarvine");
    EXPECT_EQ(effect.getVendorVersion(), 1000);
    EXPECT_EQ(effect.getAeffect()->uniqueID, 0x51756172);

    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_TRUE(effect.getInputProperties(0, &pin));
    EXPECT_STREQ(pin.label, "Quarvine In 1");
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    EXPECT_EQ(pin.shortLabel[0], 0x5A);
    EXPECT_TRUE(effect.getOutputProperties(0, &pin));
    EXPECT_STREQ(pin.label, "Quarvine Out 1");

    VstPinProperties untouched;
    std::memset(&untouched, 0x33, sizeof untouched);
    VstPinProperties copy = untouched;
    EXPECT_FALSE(effect.getInputProperties(1, &untouched));
    EXPECT_FALSE(effect.getOutputProperties(1, &untouched));
    EXPECT_EQ(std::memcmp(&copy, &untouched, sizeof copy), 0);
}

// The seventh parameter picks the oversampling in equal thirds; the texts are the factors, and a
// value far off the range (no float-to-int overflow) lands on the nearest end.
TEST_F(EffectParameters, OversamplingDefaultsTo2xAndShowsItsFactor)
{
    EXPECT_EQ(effect.getParameter(6), 0.0f);
    EXPECT_EQ(display(6), "2x");
    EXPECT_EQ(load(effect.controls().oversampling), 2.0);
    const std::pair<float, const char*> cases[] = {{0.5f, "4x"}, {1.0f, "8x"}, {0.33f, "2x"}, {0.34f, "4x"},
                                                   {0.67f, "8x"}, {1e30f, "8x"}, {-1e30f, "2x"}};
    for (auto [value, text] : cases) {
        effect.setParameter(6, value);
        EXPECT_EQ(display(6), text) << value;
        EXPECT_EQ(load(effect.controls().oversampling), text[0] - '0') << value;
    }
}

TEST_F(EffectParameters, IndicesOutsideTheSetAreHarmless)
{
    effect.setParameter(8, 0.9f);
    effect.setParameter(-1, 0.9f);
    effect.setParameter(1 << 30, 0.9f);
    for (VstInt32 i = 0; i < 5; ++i)
        EXPECT_EQ(effect.getParameter(i), 0.5f);
    EXPECT_EQ(effect.getParameter(5), 1.0f);
    EXPECT_EQ(effect.getParameter(7), 0.0f);
    EXPECT_EQ(effect.getParameter(8), 0.0f);
    EXPECT_EQ(effect.getParameter(-1), 0.0f);
    EXPECT_EQ(display(8), "");
    EXPECT_EQ(display(-3), "");
}

TEST_F(EffectParameters, NonFiniteValuesAreIgnored)
{
    effect.setParameter(1, 0.75f);
    effect.setParameter(1, std::numeric_limits<float>::quiet_NaN());
    effect.setParameter(1, std::numeric_limits<float>::infinity());
    effect.setParameter(1, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(effect.getParameter(1), 0.75f);
    EXPECT_NEAR(load(effect.controls().driveLevel), cubic(0.75f), 1e-12);
    effect.setParameter(5, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(load(effect.controls().outputVolume), 1.0);
}

TEST_F(EffectParameters, SampleRateIsStoredInBothFields)
{
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    EXPECT_EQ(effect.getSampleRateDouble(), 48000.0);
}

// The accepted rates run from 1 kHz to 1.536 MHz, ends included; a rate outside keeps the last
// good one, as a set-up call cannot be refused.
TEST_F(EffectParameters, ARateOutsideTheAcceptedRangeKeepsTheLastGoodOne)
{
    const float inf = std::numeric_limits<float>::infinity();
    float lastGood = 44100.0f;
    for (float rate : {1000.0f, 0.0f, 999.9f, -48000.0f, 1536000.0f, 1536000.2f, 1e7f, std::nanf(""), inf, -inf,
                       96000.0f, 1e30f}) {
        effect.setSampleRate(rate);
        if (rate == 1000.0f || rate == 1536000.0f || rate == 96000.0f)
            lastGood = rate;
        EXPECT_EQ(effect.getSampleRate(), lastGood) << rate;
        EXPECT_EQ(effect.getSampleRateDouble(), lastGood) << rate;
    }
}

TEST(EffectWithoutHost, KeepsTheBaseIdentity)
{
    Quarvine effect(nullptr);
    EXPECT_EQ(effect.getAeffect()->numOutputs, 2);
    EXPECT_EQ(effect.getAeffect()->uniqueID, 0x4E6F4566);
    EXPECT_EQ(effect.getParameter(5), 1.0f);
}

} // namespace
