// SPDX-License-Identifier: GPL-3.0-or-later
// Tab navigation out of a nested container: the frame's own advance ends the walk.
#include "gui/cviewcontainer.h"
#include "gui/cframe.h"
#include "probe_view.h"

#include <gtest/gtest.h>

using namespace gui;
using editor_test::ProbeView;

namespace {

int dummyParent;

struct NestedFocus : ::testing::Test {
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), &dummyParent, nullptr);
    CViewContainer* inner = new CViewContainer(CRect(0, 0, 100, 100), frame);
    ProbeView* first = new ProbeView(CRect(0, 0, 10, 10));
    ProbeView* last = new ProbeView(CRect(20, 0, 30, 10));

    NestedFocus()
    {
        first->setWantsFocus(true);
        last->setWantsFocus(true);
        inner->addView(first);
        inner->addView(last);
        frame->addView(inner);
    }
    ~NestedFocus() override { frame->forget(); }
};

TEST_F(NestedFocus, TabFromTheLastNestedViewGoesToTheFramesNextChild)
{
    auto* after = new ProbeView(CRect(150, 0, 160, 10));
    after->setWantsFocus(true);
    frame->addView(after);
    frame->setFocusView(last);
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), after);
}

TEST_F(NestedFocus, TabInsideTheNestedContainerMovesToItsNextView)
{
    frame->setFocusView(first);
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), last);
}

TEST_F(NestedFocus, TabPastEverythingClearsTheFocusAsForADirectChild)
{
    // Nothing that wants focus follows the nested container in the frame.
    frame->addView(new ProbeView(CRect(150, 0, 160, 10)));
    frame->setFocusView(last);
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->onKeyDown(tab), -1);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(NestedFocus, AModalViewStopsTabNavigation)
{
    auto* modal = new ProbeView(CRect(150, 0, 160, 10));
    frame->setFocusView(first);
    ASSERT_TRUE(frame->setModalView(modal));
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->onKeyDown(tab), -1);
    EXPECT_EQ(frame->getFocusView(), first);
    frame->setModalView(nullptr);
    modal->forget();
}

} // namespace
