// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/canimknob.h"
#include "gui/cframe.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace gui;
using editor_test::InputStep;
using editor_test::RecordedCall;
using editor_test::RecordingHost;
using editor_test::ScriptedInput;

namespace {

int dummyParent;
constexpr CPoint kKnob0Centre{51, 51};

struct KnobFixture : ::testing::Test {
    ScriptedInput input;
    RecordingHost host;
    CFrame* frame = nullptr;

    KnobFixture()
    {
        host.editor().open(&dummyParent);
        frame = host.editor().getFrame();
        host.calls.clear();
    }
    ~KnobFixture() override { host.editor().setKnobMode(0); }

    CAnimKnob& knob(int i) { return *host.editor().getKnob(i); }
    void press(const CPoint& where, int32_t buttons, std::vector<InputStep> steps)
    {
        input.script(buttons, std::move(steps));
        portable::buttonDown(*frame, where);
    }
    std::vector<float> automatedValues(VstInt32 index) const
    {
        std::vector<float> values;
        for (const RecordedCall& call : host.calls)
            if (call.opcode == audioMasterAutomate && call.index == index)
                values.push_back(call.opt);
        return values;
    }
    // Begin and end edit with the automation between them, idle calls left out.
    std::vector<VstInt32> editOpcodes() const
    {
        std::vector<VstInt32> opcodes;
        for (const RecordedCall& call : host.callsExcept(audioMasterIdle))
            opcodes.push_back(call.opcode);
        return opcodes;
    }
};

TEST(KnobGeometryTest, HandlePointsFollowTheSweepFrom225ToMinus45Degrees)
{
    CAnimKnob knob(CRect(0, 0, 50, 50), nullptr, 0, 256, 50, nullptr);
    CPoint point;
    knob.setValue(0.0f); // 225 degrees: lower left, on the rim (inset 0)
    knob.valueToPoint(point);
    EXPECT_EQ(point, CPoint(int(25 - 25 * std::sqrt(0.5) + 0.5), int(25 + 25 * std::sqrt(0.5) + 0.5)));
    knob.setValue(0.5f); // straight up
    knob.valueToPoint(point);
    EXPECT_EQ(point, CPoint(25, 0));
    knob.setValue(1.0f); // -45 degrees: lower right
    knob.valueToPoint(point);
    EXPECT_EQ(point, CPoint(int(25 + 25 * std::sqrt(0.5) + 0.5), int(25 + 25 * std::sqrt(0.5) + 0.5)));

    CPoint right(50, 25); // 0 degrees: 225 of the 270 degrees swept
    EXPECT_NEAR(knob.valueFromPoint(right), 225.0 / 270.0, 1e-6);
    CPoint deadMaxSide(30, 50); // just past the maximum, in the dead zone: pinned to 1
    EXPECT_EQ(knob.valueFromPoint(deadMaxSide), 1.0f);
    CPoint deadMinSide(20, 50);
    EXPECT_EQ(knob.valueFromPoint(deadMinSide), 0.0f);
}

TEST(KnobGeometryTest, ValueFromPointRoundsOnlyTheMarkedStepsToFloat)
{
    // The editor's geometry with every step computed from the stated constants: float where the
    // rounding is stated, double elsewhere, the angle from the double atan2.
    const float twoPiF = 6.2831854820251465f;
    const double twoPiD = 6.283185307179586;
    const float radius = 25.0f;
    const float start = 3.9269907f;
    const float range = -4.712389f;
    const float aCoef = 1.0f / range;
    const float half = static_cast<float>((static_cast<double>(twoPiF) - 4.712389f) * 0.5);
    auto expected = [&](int h, int v) {
        float alpha = static_cast<float>(std::atan2(static_cast<double>(radius - static_cast<float>(v)),
                                                    static_cast<double>(static_cast<float>(h) - radius)));
        if (alpha < 0.0f)
            alpha = static_cast<float>(static_cast<double>(alpha) + twoPiF);
        alpha = static_cast<float>(static_cast<double>(alpha) - start);
        const float beta = static_cast<float>(static_cast<double>(alpha) - range);
        float wrapped = beta;
        if (beta < 0.0f)
            wrapped = static_cast<float>(static_cast<double>(beta) + twoPiF);
        else if (beta > twoPiD)
            wrapped = static_cast<float>(static_cast<double>(beta) - twoPiF);
        const float beyondMax = static_cast<float>(static_cast<double>(half) - range);
        if (wrapped > beyondMax)
            return 1.0f;
        if (wrapped > -range)
            return 0.0f;
        double gamma = beta;
        if (beta > beyondMax)
            gamma = static_cast<float>(static_cast<double>(beta) - twoPiF);
        else if (beta < -half)
            gamma = static_cast<float>(static_cast<double>(beta) + twoPiF);
        return static_cast<float>(gamma * aCoef + 1.0);
    };
    CAnimKnob knob(CRect(0, 0, 50, 50), nullptr, 0, 256, 50, nullptr);
    int mismatches = 0;
    for (int h = 0; h <= 50; ++h) {
        for (int v = 0; v <= 50; ++v) {
            CPoint p(h, v);
            const float got = knob.valueFromPoint(p);
            if (got != expected(h, v) && ++mismatches <= 5)
                ADD_FAILURE() << "(" << h << ", " << v << "): " << got << " instead of " << expected(h, v);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(KnobFixture, LinearDragKeepsTheStepInDoubleUntilTheValueIsStored)
{
    // Nine pixels of the 300 that Shift makes the range: 0.03, rounded to float only once.
    host.editor().setKnobMode(2);
    host.effect->setParameter(0, 0.0f);
    const int32_t shifted = kLButton | kShift;
    press(kKnob0Centre, shifted, {{CPoint(60, 51), shifted}, {CPoint(60, 51), 0}});
    EXPECT_EQ(knob(0).getValue(), static_cast<float>(9.0 / 300.0));
    EXPECT_EQ(host.effect->getParameter(0), static_cast<float>(9.0 / 300.0));
}

TEST_F(KnobFixture, FineWheelStepIsRoundedToFloatOnlyWhenAdded)
{
    host.effect->setParameter(4, 0.5f);
    input.buttons = kShift;
    EXPECT_TRUE(portable::wheel(*frame, CPoint(373, 51), 3 * 120));
    const float expected = static_cast<float>(0.5 + static_cast<double>(0.1f) * 3.0 * 0.10000000149011612);
    EXPECT_EQ(knob(4).getValue(), expected);
    EXPECT_EQ(host.effect->getParameter(4), expected);
}

TEST_F(KnobFixture, CircularPressAtTheTopCentreGivesOneHalfInOneEdit)
{
    host.effect->setParameter(0, 0.1f);
    press(CPoint(51, 26), kLButton, {{CPoint(51, 26), 0}});
    EXPECT_NEAR(host.effect->getParameter(0), 0.5f, 1e-6);
    EXPECT_NEAR(knob(0).getValue(), 0.5f, 1e-6);
    const std::vector<VstInt32> expected = {audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit};
    EXPECT_EQ(editOpcodes(), expected);
    for (const RecordedCall& call : host.callsExcept(audioMasterIdle))
        EXPECT_EQ(call.index, 0);
}

TEST_F(KnobFixture, CrossingTheDeadZonePinsTheValueAtTheEndItCameFrom)
{
    // Start just before the maximum (-40 degrees), then sweep through the bottom to the
    // minimum side (220 degrees).
    auto at = [](double degrees) {
        const double a = degrees * std::numbers::pi / 180.0;
        return CPoint(kKnob0Centre.h + int(std::lround(20 * std::cos(a))),
                      kKnob0Centre.v - int(std::lround(20 * std::sin(a))));
    };
    press(at(-40), kLButton, {{at(-80), 1}, {at(-110), 1}, {at(-140), 1}, {at(-140), 0}});
    const std::vector<float> values = automatedValues(0);
    ASSERT_GE(values.size(), 2u);
    EXPECT_NEAR(values.front(), 265.0 / 270.0, 0.01);
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_EQ(values[i], 1.0f);
    EXPECT_EQ(host.effect->getParameter(0), 1.0f);
}

TEST_F(KnobFixture, LinearModeAddsHalfFor100PixelsRightAndNothingForRightAndDown)
{
    host.editor().setKnobMode(2);
    host.effect->setParameter(1, 0.2f);
    const CPoint start(131, 51);
    press(start, kLButton, {{CPoint(231, 51), 1}, {CPoint(231, 51), 0}});
    EXPECT_NEAR(host.effect->getParameter(1), 0.7f, 1e-6);

    host.effect->setParameter(1, 0.2f);
    press(start, kLButton, {{CPoint(231, 151), 1}, {CPoint(231, 151), 0}});
    EXPECT_NEAR(host.effect->getParameter(1), 0.2f, 1e-6);

    // Far beyond the range the value stays at the end.
    press(start, kLButton, {{CPoint(731, 51), 1}, {CPoint(731, 51), 0}});
    EXPECT_EQ(host.effect->getParameter(1), 1.0f);
}

TEST_F(KnobFixture, AltSelectsLinearDraggingInCircularModeAndShiftMakesItFine)
{
    host.effect->setParameter(2, 0.0f);
    const CPoint start(212, 51);
    // With Shift, 300 pixels span the range: 150 pixels give one half.
    press(start, kLButton | kAlt | kShift, {{CPoint(362, 51), kLButton | kAlt | kShift}, {CPoint(362, 51), 0}});
    EXPECT_NEAR(host.effect->getParameter(2), 0.5f, 1e-6);
}

TEST_F(KnobFixture, ShiftPressedInMidDragChangesTheSpeedWithoutAJump)
{
    host.editor().setKnobMode(2);
    host.effect->setParameter(0, 0.2f);
    const int32_t shifted = kLButton | kShift;
    press(kKnob0Centre, kLButton,
          {{CPoint(101, 51), kLButton}, {CPoint(101, 51), shifted}, {CPoint(131, 51), shifted},
           {CPoint(161, 51), shifted}, {CPoint(161, 51), 0}});
    const std::vector<float> values = automatedValues(0);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_NEAR(values[0], 0.2f, 1e-6);
    EXPECT_NEAR(values[1], 0.2f + 50.0f / 200.0f, 1e-6);
    // Shift is noticed 80 pixels from the press: the value continues from the coarse rate ...
    EXPECT_NEAR(values[2], 0.2f + 80.0f / 200.0f, 1e-6);
    // ... and the next 30 pixels move it at the fine rate.
    EXPECT_NEAR(values[3], 0.2f + 80.0f / 200.0f + 30.0f / 300.0f, 1e-6);
}

TEST_F(KnobFixture, ControlClickRestoresTheDefaultWithOneReportAndNoDrag)
{
    host.effect->setParameter(3, 0.5f);
    press(CPoint(292, 51), kLButton | kControl, {{CPoint(300, 20), kLButton}});
    EXPECT_EQ(input.cursorReads, 0);
    EXPECT_EQ(host.effect->getParameter(3), 0.5f);
    const std::vector<VstInt32> expected = {audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit};
    EXPECT_EQ(editOpcodes(), expected);
    EXPECT_EQ(automatedValues(3), std::vector<float>{0.5f});
}

TEST_F(KnobFixture, WheelStepsATenthOrWithShiftAHundredthAndStaysInRange)
{
    host.effect->setParameter(4, 0.5f);
    EXPECT_TRUE(portable::wheel(*frame, CPoint(373, 51), 120));
    EXPECT_NEAR(host.effect->getParameter(4), 0.6f, 1e-6);
    input.buttons = kShift;
    EXPECT_TRUE(portable::wheel(*frame, CPoint(373, 51), -120));
    EXPECT_NEAR(host.effect->getParameter(4), 0.59f, 1e-6);
    input.buttons = 0;
    EXPECT_TRUE(portable::wheel(*frame, CPoint(373, 51), -120 * 8));
    EXPECT_EQ(host.effect->getParameter(4), 0.0f);
    EXPECT_FALSE(portable::wheel(*frame, CPoint(600, 30), 120)); // the title: no control there
}

TEST_F(KnobFixture, ArrowKeysStepTheFocusedKnobAndStayInRange)
{
    VstKeyCode tab{0, VKEY_TAB, 0};
    ASSERT_TRUE(host.editor().onKeyDown(tab));
    ASSERT_EQ(frame->getFocusView(), &knob(0));

    host.effect->setParameter(0, 0.5f);
    VstKeyCode fineRight{0, VKEY_RIGHT, MODIFIER_SHIFT};
    EXPECT_TRUE(host.editor().onKeyDown(fineRight));
    EXPECT_NEAR(host.effect->getParameter(0), 0.51f, 1e-6);
    VstKeyCode down{0, VKEY_DOWN, 0};
    EXPECT_TRUE(host.editor().onKeyDown(down));
    EXPECT_NEAR(host.effect->getParameter(0), 0.41f, 1e-6);

    host.effect->setParameter(0, 1.0f);
    portable::paint(*frame, CRect(0, 0, 680, 120)); // drawn: the knob is clean again
    host.calls.clear();
    VstKeyCode up{0, VKEY_UP, 0};
    EXPECT_TRUE(host.editor().onKeyDown(up)); // handled, but nothing changed or reported
    EXPECT_EQ(host.effect->getParameter(0), 1.0f);
    EXPECT_TRUE(automatedValues(0).empty());

    VstKeyCode other{'a', 0, 0};
    EXPECT_FALSE(host.editor().onKeyDown(other));
}

} // namespace
