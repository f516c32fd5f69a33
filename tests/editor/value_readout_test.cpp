// SPDX-License-Identifier: GPL-3.0-or-later
// The name plate's line of text while a knob or the switch is turned or pointed at: its name and
// the host's display of its value, the cabinet again once the pointer goes, and nothing redrawn
// but the line of text.
#include "gui/cframe.h"
#include "gui/ctextview.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <gtest/gtest.h>

#include <string>

using namespace gui;

namespace {

int dummyParent;
constexpr VstInt32 kDrive = 1;
constexpr uint32_t kMarker = 0x00FF00FF;
constexpr CPoint kTitle{600, 30}; // no control there
constexpr CPoint kSwitch{592, 85};

struct ReadoutFixture : ::testing::Test {
    editor_test::ScriptedInput input;
    editor_test::RecordingHost host;
    QuarvineEditor& editor = host.editor();
    CFrame* frame = nullptr;
    const CRect text = AmpPanel::cabinetTextRect();

    ReadoutFixture()
    {
        editor.open(&dummyParent);
        frame = editor.getFrame();
        portable::paint(*frame, CRect(0, 0, 680, 120));
    }
    std::string shown() { return editor.getCabinetText()->getText(); }
    uint32_t& pixel(int32_t x, int32_t y)
    {
        return const_cast<portable::PixelSurface&>(*portable::windowPixels(*frame)).at(x, y);
    }
    // Marks a pixel of the text and one of the title, then runs an idle pass: answers whether the
    // text was redrawn; the title never is.
    bool textRedrawnOnIdle()
    {
        pixel(text.left, text.top) = kMarker;
        pixel(kTitle.h, kTitle.v) = kMarker;
        editor.idle();
        EXPECT_EQ(pixel(kTitle.h, kTitle.v), kMarker);
        return pixel(text.left, text.top) != kMarker;
    }
};

TEST_F(ReadoutFixture, ADragShowsTheHostsDisplayAndAReleaseAwayTheCabinet)
{
    frame->setDragsFollowIdle(true);
    host.effect->setParameter(kDrive, 0.1f); // nothing pointed at: not shown
    EXPECT_EQ(shown(), "Off");
    input.script(kLButton, {});
    portable::buttonDown(*frame, CPoint(131, 26)); // Drive's top centre: one half
    EXPECT_EQ(shown(), "Drive 5.000");
    // Straight right of the centre: 225 of the 270 degrees.
    EXPECT_TRUE(frame->trackMouse(CPoint(156, 51), kLButton));
    EXPECT_EQ(shown(), "Drive 8.333");
    EXPECT_TRUE(textRedrawnOnIdle());
    EXPECT_FALSE(frame->trackMouse(CPoint(160, 51), 0)); // released between Drive and Treble
    EXPECT_EQ(shown(), "Off");
    EXPECT_TRUE(textRedrawnOnIdle());
}

TEST_F(ReadoutFixture, AWheelStepShowsUntilThePointerLeaves)
{
    host.effect->setParameter(kDrive, 0.5f);
    EXPECT_TRUE(portable::wheel(*frame, CPoint(131, 51), 120));
    EXPECT_EQ(shown(), "Drive 6.000");
    host.effect->setParameter(kDrive, 0.25f); // the host's value shows on the knob pointed at
    EXPECT_EQ(shown(), "Drive 2.500");
    frame->pointerLeft();
    EXPECT_EQ(shown(), "Off");
}

TEST_F(ReadoutFixture, HoveringTheSwitchShowsItsFactorAndTheSelectorTheCabinet)
{
    frame->pointerMoved(kSwitch);
    EXPECT_EQ(shown(), "Oversampling 2x");
    EXPECT_TRUE(textRedrawnOnIdle());
    // The same text: nothing redrawn.
    frame->pointerMoved(CPoint(kSwitch.h + 1, kSwitch.v));
    host.effect->setParameter(AmpPanel::kOversamplingParameter, 0.1f);
    EXPECT_FALSE(textRedrawnOnIdle());
    host.effect->setParameter(AmpPanel::kOversamplingParameter, 0.5f);
    EXPECT_EQ(shown(), "Oversampling 4x");
    frame->pointerMoved(CPoint(text.left + 10, text.top + 2));
    EXPECT_EQ(shown(), "Off");
}

// An owner with no host display of its own (the LV2 UI) reads as the VST effect does.
TEST(ParameterOwnerDisplay, TheDefaultIsTenTimesTheValueWithThreeDecimals)
{
    struct Owner final : ParameterOwner {
        float parameterValue(int) override { return 0.735f; }
        void editParameter(int, float) override {}
        void frameIdleStuff() override {}
        void frameBeginEdit(int32_t) override {}
        void frameEndEdit(int32_t) override {}
        int32_t frameKnobMode() const override { return 0; }
        bool frameRequestSize(int32_t, int32_t) override { return false; }
    } owner;
    EXPECT_EQ(owner.parameterDisplay(kDrive), "7.350");
}

} // namespace
