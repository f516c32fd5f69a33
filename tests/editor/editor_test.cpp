// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/canimknob.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/csegmentswitch.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <gtest/gtest.h>

#include <thread>

using namespace gui;
using editor_test::RecordingHost;
using editor_test::ScriptedInput;

namespace {

int dummyParent;

struct EditorFixture : ::testing::Test {
    ScriptedInput input; // first, so that the editor reads the scripted clock
    RecordingHost host;
    QuarvineEditor& editor = host.editor();

    int idleCalls() const
    {
        int n = 0;
        for (const auto& call : host.calls)
            n += call.opcode == audioMasterIdle;
        return n;
    }
};

// Which film-strip frame the window shows in a knob's rectangle; -1 when none matches.
int shownFrame(const CFrame& frame, int knobIndex)
{
    static CBitmap strip(QuarvineEditor::kKnobStripBitmapId);
    const auto* pixels = static_cast<const portable::PixelSurface*>(strip.getPlatformBitmap());
    const auto* window = portable::windowPixels(frame);
    const CRect r = QuarvineEditor::knobRect(knobIndex);
    for (int f = 0; f < 256; ++f) {
        bool same = true;
        for (int y = 0; y < 50 && same; ++y)
            for (int x = 0; x < 50 && same; ++x)
                same = window->at(r.left + x, r.top + y) == pixels->at(x, f * 50 + y);
        if (same)
            return f;
    }
    return -1;
}

TEST_F(EditorFixture, ReportsThePanelSizeBeforeOpeningAndAnEditorFlag)
{
    ERect* rect = nullptr;
    ASSERT_TRUE(editor.getRect(&rect));
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 120);
    EXPECT_EQ(rect->right, 680);
    EXPECT_EQ(host.effect->getAeffect()->flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ(host.effect->getEditor(), &editor);
}

TEST_F(EditorFixture, OpenBuildsSixKnobsAtTheirRectanglesShowingTheEffectsValues)
{
    host.effect->setParameter(3, 0.25f);
    host.effect->setParameter(6, 1.0f);
    ASSERT_TRUE(editor.open(&dummyParent));
    CFrame* frame = editor.getFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->getNbViews(), 9); // and the switch, the cabinet text and selector
    const int lefts[6] = {26, 106, 187, 267, 348, 428};
    for (int i = 0; i < 6; ++i) {
        auto* knob = static_cast<CAnimKnob*>(frame->getView(i));
        ASSERT_EQ(knob, editor.getKnob(i));
        EXPECT_EQ(knob->getSizeRect(), CRect(lefts[i], 26, lefts[i] + 50, 76));
        EXPECT_EQ(knob->getTag(), i);
        EXPECT_EQ(knob->getFrameCount(), 256);
        EXPECT_EQ(knob->getFrameHeight(), 50);
        EXPECT_TRUE(knob->isTypeOf("CKnob"));
    }
    EXPECT_EQ(editor.getKnob(3)->getValue(), 0.25f);
    EXPECT_EQ(editor.getKnob(5)->getValue(), 1.0f);
    EXPECT_EQ(editor.getOversamplingSwitch()->getValue(), 1.0f);
    // A press on the right and bottom edge of knob 0 reaches knob 0.
    EXPECT_EQ(frame->getViewAt(CPoint(76, 76)), editor.getKnob(0));
}

TEST_F(EditorFixture, DrawnKnobsShowTheFilmStripFrameForTheirValues)
{
    host.effect->setParameter(0, 0.5f);
    host.effect->setParameter(1, 1.0f);
    editor.open(&dummyParent);
    CFrame& frame = *editor.getFrame();
    editor.getKnob(2)->setValue(-0.5f);
    editor.getKnob(3)->setValue(1.7f); // beyond the strip: the last frame, not garbage
    editor.getKnob(4)->setValue(0.0f);
    portable::paint(frame, CRect(0, 0, 680, 120));
    // Frame = trunc(value * 12750) / 50, rounded down.
    EXPECT_EQ(shownFrame(frame, 0), 127);
    EXPECT_EQ(shownFrame(frame, 1), 255);
    EXPECT_EQ(shownFrame(frame, 2), 0);
    EXPECT_EQ(shownFrame(frame, 3), 255);
    EXPECT_EQ(shownFrame(frame, 4), 0);

    // A host change moves the knob at the next idle pass, not before.
    host.effect->setParameter(5, 0.25f);
    EXPECT_EQ(shownFrame(frame, 5), 255);
    editor.idle();
    EXPECT_EQ(shownFrame(frame, 5), 63);
}

TEST_F(EditorFixture, IdleRedrawsNothingBeforeTheFirstPaint)
{
    editor.open(&dummyParent);
    editor.idle();
    const auto* window = portable::windowPixels(*editor.getFrame());
    EXPECT_EQ(window->at(51, 51), window->at(0, 0)); // still the empty window colour
    EXPECT_EQ(shownFrame(*editor.getFrame(), 0), -1);
}

TEST_F(EditorFixture, IdleStuffIsThrottledToAFullPassEveryFiftyMilliseconds)
{
    editor.open(&dummyParent);
    host.calls.clear();
    // At the throttle time: a full pass without sleeping.
    editor.doIdleStuff();
    EXPECT_TRUE(input.sleeps.empty());
    EXPECT_EQ(input.repaints, 1);
    EXPECT_EQ(idleCalls(), 1);

    // 55 ms before the next pass is due: one 4 ms sleep and nothing else.
    input.ticks = 1000 + 100 - 55;
    editor.doIdleStuff();
    EXPECT_EQ(input.sleeps, std::vector<uint32_t>{4});
    EXPECT_EQ(input.repaints, 1);
    EXPECT_EQ(idleCalls(), 1);

    // 54 ms before: sleep, then the full pass, which sets the next one 100 ms after now + 4.
    input.ticks = 1000 + 100 - 54;
    editor.doIdleStuff();
    EXPECT_EQ(input.sleeps, (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(input.repaints, 2);
    EXPECT_EQ(idleCalls(), 2);
    input.ticks = 1050 + 100 - 55;
    editor.doIdleStuff();
    EXPECT_EQ(idleCalls(), 2);
    input.ticks = 1050 + 100;
    editor.doIdleStuff();
    EXPECT_EQ(idleCalls(), 3);
}

TEST_F(EditorFixture, ParameterMirroringIgnoresClosedEditorsAndBadIndices)
{
    editor.setParameter(3, 0.9f); // closed: nothing to do
    editor.open(&dummyParent);
    editor.setParameter(7, 0.3f);
    editor.setParameter(-1, 0.3f);
    host.effect->setParameter(3, 0.75f);
    // The knob takes what the effect stored, not the value the call carried.
    editor.setParameter(3, 0.1f);
    EXPECT_EQ(editor.getKnob(3)->getValue(), 0.75f);
}

TEST_F(EditorFixture, ChangesFromAnotherThreadReachTheKnobAtTheNextIdle)
{
    editor.open(&dummyParent);
    std::thread automation([&] { host.effect->setParameter(4, 0.25f); });
    automation.join();
    // The other thread must not touch a knob the editor's thread may be destroying.
    EXPECT_EQ(editor.getKnob(4)->getValue(), 0.5f);
    editor.idle();
    EXPECT_EQ(editor.getKnob(4)->getValue(), 0.25f);
    EXPECT_EQ(editor.getKnob(3)->getValue(), 0.5f);
    // Closing while a change is pending, then reopening, shows the stored value.
    std::thread late([&] { host.effect->setParameter(2, 0.125f); });
    late.join();
    editor.close();
    editor.idle();
    editor.open(&dummyParent);
    EXPECT_EQ(editor.getKnob(2)->getValue(), 0.125f);
}

TEST_F(EditorFixture, ReopeningShowsCurrentValuesAndKeepsOneWindow)
{
    editor.open(&dummyParent);
    CAnimKnob* first = editor.getKnob(0);
    first->remember();
    editor.open(&dummyParent); // open while open: the old frame goes first
    EXPECT_EQ(first->getNbReference(), 1);
    EXPECT_EQ(portable::windowClassUseCount(), 1);
    first->forget();

    editor.close();
    EXPECT_EQ(editor.getFrame(), nullptr);
    EXPECT_EQ(portable::windowClassUseCount(), 0);
    host.effect->setParameter(0, 0.3f);
    editor.open(&dummyParent);
    EXPECT_EQ(editor.getKnob(0)->getValue(), 0.3f);
}

TEST_F(EditorFixture, DestroyingTheEffectWithTheEditorOpenReleasesFrameAndKnobs)
{
    editor.open(&dummyParent);
    CAnimKnob* knob = editor.getKnob(2);
    knob->remember();
    host.effect.reset();
    EXPECT_EQ(knob->getNbReference(), 1);
    EXPECT_EQ(portable::windowClassUseCount(), 0);
    knob->forget();
}

TEST_F(EditorFixture, ResizeAsksTheHostFirst)
{
    editor.open(&dummyParent);
    CFrame* frame = editor.getFrame();
    EXPECT_FALSE(frame->setSize(680, 120));
    host.sizeWindowAnswer = 1;
    host.calls.clear();
    EXPECT_TRUE(frame->setSize(700, 130));
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterCanDo);
    EXPECT_EQ(host.calls[1].opcode, audioMasterSizeWindow);
    EXPECT_EQ(host.calls[1].index, 700);
    EXPECT_EQ(frame->getWidth(), 700);
}

TEST_F(EditorFixture, KnobModeIsSharedByTheModule)
{
    EXPECT_TRUE(editor.setKnobMode(2));
    editor.open(&dummyParent);
    EXPECT_EQ(editor.getFrame()->getKnobMode(), 2);
    editor.setKnobMode(0);
    EXPECT_EQ(editor.getFrame()->getKnobMode(), 0);
}

} // namespace
