// SPDX-License-Identifier: GPL-3.0-or-later
// The oversampling switch in the editor: clicks and the wheel pick a position and tell the host
// inside an edit; what the effect holds, set on any thread, is what the window shows.
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/csegmentswitch.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <gtest/gtest.h>

#include <thread>

using namespace gui;
using editor_test::RecordedCall;
using editor_test::RecordingHost;
using editor_test::ScriptedInput;

namespace {

int dummyParent;
constexpr VstInt32 kOversampling = 6;

struct SwitchFixture : ::testing::Test {
    ScriptedInput input;
    RecordingHost host;
    QuarvineEditor& editor = host.editor();
    CFrame* frame = nullptr;
    const CRect rect = QuarvineEditor::oversamplingSwitchRect();

    SwitchFixture()
    {
        editor.open(&dummyParent);
        frame = editor.getFrame();
        host.calls.clear();
    }

    void click(int32_t x, int32_t buttons = kLButton)
    {
        input.script(buttons, {});
        portable::buttonDown(*frame, CPoint(x, rect.top + rect.height() / 2));
    }
    // What reached the host, idle calls left out.
    std::vector<RecordedCall> edits()
    {
        std::vector<RecordedCall> result = host.callsExcept(audioMasterIdle);
        host.calls.clear();
        return result;
    }
    void expectOneEdit(float value) { editor_test::expectOneEdit(host, kOversampling, value); }

    // Which frame of the switch's strip the window shows in its rectangle; -1 when none matches.
    int shownPosition()
    {
        static CBitmap strip(QuarvineEditor::kSwitchStripBitmapId);
        const auto* pixels = static_cast<const portable::PixelSurface*>(strip.getPlatformBitmap());
        const auto* window = portable::windowPixels(*frame);
        for (int position = 0; position < 3; ++position) {
            bool same = true;
            for (int y = 0; y < rect.height() && same; ++y)
                for (int x = 0; x < rect.width() && same; ++x)
                    same = window->at(rect.left + x, rect.top + y) == pixels->at(x, position * rect.height() + y);
            if (same)
                return position;
        }
        return -1;
    }
};

TEST_F(SwitchFixture, SitsInTheNamePlateAfterTheKnobsWithThreeFramesOfItsHeight)
{
    // Right of the divider at x = 510 and inside the panel's gold border.
    EXPECT_GT(rect.left, 510);
    EXPECT_LT(rect.right, 670);
    EXPECT_LT(rect.bottom, 110);
    ASSERT_EQ(frame->getNbViews(), 9); // the cabinet's text and selector follow
    EXPECT_EQ(frame->getView(6), editor.getOversamplingSwitch());
    EXPECT_EQ(editor.getOversamplingSwitch()->getSizeRect(), rect);
    EXPECT_EQ(editor.getOversamplingSwitch()->getTag(), kOversampling);
    const CBitmap strip(QuarvineEditor::kSwitchStripBitmapId);
    EXPECT_EQ(strip.getWidth(), rect.width());
    EXPECT_EQ(strip.getHeight(), 3 * rect.height());
}

TEST_F(SwitchFixture, AClickOnEachSegmentSetsItsValueInOneEditAndTheSelectedOneNothing)
{
    const int32_t third = rect.width() / 3;
    // The last pixel: 8x. A short click is over before the press is handled: no button is down.
    click(rect.right - 1, 0);
    expectOneEdit(1.0f);
    click(rect.left + third); // the first pixel of the middle segment: 4x
    expectOneEdit(0.5f);
    click(rect.left + third - 1); // the last pixel of the first: 2x
    expectOneEdit(0.0f);
    click(rect.left + third / 2);
    EXPECT_TRUE(edits().empty());
    click(rect.right - 1, kRButton);
    EXPECT_TRUE(edits().empty());
    EXPECT_EQ(host.effect->getParameter(kOversampling), 0.0f);
}

TEST_F(SwitchFixture, WheelStepsOnePositionAndStopsAtTheEnds)
{
    const CPoint middle(rect.left + rect.width() / 2, rect.top + rect.height() / 2);
    EXPECT_TRUE(portable::wheel(*frame, middle, 120));
    expectOneEdit(0.5f);
    EXPECT_TRUE(portable::wheel(*frame, middle, 3 * 120)); // a fast turn is still one step
    expectOneEdit(1.0f);
    EXPECT_TRUE(portable::wheel(*frame, middle, 120));
    EXPECT_TRUE(edits().empty());
    EXPECT_TRUE(portable::wheel(*frame, middle, -120));
    expectOneEdit(0.5f);
}

TEST_F(SwitchFixture, TheWindowShowsThePositionTheEffectReadsFromAnyThread)
{
    host.effect->setParameter(kOversampling, 0.4f); // a host's value between the stops: 4x
    portable::paint(*frame, CRect(0, 0, 680, 120));
    EXPECT_EQ(shownPosition(), 1);

    host.effect->setParameter(kOversampling, 1.0f);
    editor.idle();
    EXPECT_EQ(shownPosition(), 2);

    // From another thread the switch moves at the next idle pass, not before.
    std::thread automation([&] { host.effect->setParameter(kOversampling, 0.3f); });
    automation.join();
    EXPECT_EQ(editor.getOversamplingSwitch()->getValue(), 1.0f);
    editor.idle();
    EXPECT_EQ(shownPosition(), 0);
    // Nothing of that went back to the host as an edit.
    EXPECT_TRUE(edits().empty());
}

} // namespace
