// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cviewcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/portable/portable_window.h"
#include "probe_view.h"

#include <gtest/gtest.h>

#include <string>

using namespace gui;
using editor_test::makeSolidBitmap;
using editor_test::ProbeView;

namespace {

constexpr uint32_t kRed = 0xff0000;
constexpr uint32_t kBlue = 0x0000ff;

int dummyParent;

struct FrameFixture : ::testing::Test {
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), &dummyParent, nullptr);
    ~FrameFixture() override { frame->forget(); }

    uint32_t pixel(int32_t x, int32_t y) const { return portable::windowPixels(*frame)->at(x, y); }
};

TEST(ViewTest, HitTestCountsAllFourEdgesInside)
{
    ProbeView view(CRect(26, 26, 76, 76));
    EXPECT_TRUE(view.hitTest(CPoint(76, 76)));
    EXPECT_TRUE(view.hitTest(CPoint(26, 26)));
    EXPECT_FALSE(view.hitTest(CPoint(77, 50)));
    EXPECT_FALSE(view.hitTest(CPoint(50, 25)));
}

TEST_F(FrameFixture, LaterChildIsHitFirstAndDrawnOnTop)
{
    auto* below = new ProbeView(CRect(10, 10, 60, 60));
    auto* above = new ProbeView(CRect(40, 10, 90, 60));
    CBitmap* red = makeSolidBitmap(200, 100, kRed);
    CBitmap* blue = makeSolidBitmap(200, 100, kBlue);
    below->setBackground(red);
    above->setBackground(blue);
    frame->addView(below);
    frame->addView(above);

    portable::buttonDown(*frame, CPoint(50, 30));
    EXPECT_EQ(above->presses, 1);
    EXPECT_EQ(below->presses, 0);
    EXPECT_EQ(above->lastPress, CPoint(50, 30));

    portable::paint(*frame, CRect(0, 0, 200, 100));
    EXPECT_EQ(pixel(50, 30), kBlue);
    EXPECT_EQ(pixel(20, 30), kRed);
    // The drawn extent stops one short of right and bottom: the frame's black shows there.
    EXPECT_EQ(pixel(90, 30), 0u);
    EXPECT_EQ(pixel(50, 60), 0u);
    red->forget();
    blue->forget();
}

TEST_F(FrameFixture, ChildNotMouseEnabledIsSkippedByPressesButFoundForTheWheel)
{
    auto* view = new ProbeView(CRect(10, 10, 60, 60));
    frame->addView(view);
    view->setMouseEnabled(false);

    portable::buttonDown(*frame, CPoint(20, 20));
    EXPECT_EQ(view->presses, 0);
    EXPECT_EQ(frame->getViewAt(CPoint(20, 20)), view);
    EXPECT_TRUE(portable::wheel(*frame, CPoint(20, 20), 120));
    EXPECT_EQ(view->wheels, 1);
}

// A container holds one reference per child and, when destroyed, also releases the creator's.
TEST(ViewContainerTest, RemovalWithAndWithoutForgetAndReferenceCounts)
{
    CViewContainer container(CRect(0, 0, 100, 100), nullptr);
    auto* kept = new ProbeView(CRect(0, 0, 10, 10));
    auto* shared = new ProbeView(CRect(0, 0, 10, 10));
    container.addView(kept);
    container.addView(shared);
    EXPECT_EQ(kept->getNbReference(), 2);

    container.removeView(kept, false);
    EXPECT_EQ(kept->getNbReference(), 1);
    EXPECT_FALSE(container.isChild(kept));

    shared->remember(); // someone else keeps it alive
    container.removeView(shared, true);
    EXPECT_EQ(shared->getNbReference(), 1);
    EXPECT_EQ(container.getNbViews(), 0);

    container.removeView(kept, true); // not a child any more: ignored
    EXPECT_EQ(kept->getNbReference(), 1);
    kept->forget();
    shared->forget();
}

TEST(ViewContainerTest, GetViewPastTheEndAndNullAdds)
{
    CViewContainer container(CRect(0, 0, 100, 100), nullptr);
    container.addView(nullptr);
    auto* view = new ProbeView(CRect(0, 0, 10, 10));
    container.addView(view);
    EXPECT_EQ(container.getNbViews(), 1);
    EXPECT_EQ(container.getView(0), view);
    EXPECT_EQ(container.getView(1), nullptr);
    EXPECT_EQ(container.getView(-1), nullptr);
}

TEST(ViewContainerTest, KeysStopAtTheFirstChildThatHandlesThem)
{
    CViewContainer container(CRect(0, 0, 100, 100), nullptr);
    auto* bottom = new ProbeView(CRect(0, 0, 10, 10), -1);
    auto* middle = new ProbeView(CRect(0, 0, 10, 10), 1);
    auto* top = new ProbeView(CRect(0, 0, 10, 10), -1);
    for (ProbeView* view : {bottom, middle, top}) {
        container.addView(view);
        }
    VstKeyCode key{0, 12, 0};
    EXPECT_EQ(container.onKeyDown(key), 1);
    EXPECT_EQ(top->keys, 1);
    EXPECT_EQ(middle->keys, 1);
    EXPECT_EQ(bottom->keys, 0);
}

TEST(ViewContainerTest, ContainerCheckMessageIsComparedByIdentity)
{
    CViewContainer container(CRect(0, 0, 10, 10), nullptr);
    const std::string copy = kMsgCheckIfViewContainer;
    EXPECT_EQ(container.notify(nullptr, kMsgCheckIfViewContainer), 1);
    EXPECT_EQ(container.notify(nullptr, copy.c_str()), 0);
    ProbeView view(CRect(0, 0, 1, 1));
    EXPECT_EQ(view.notify(nullptr, kMsgCheckIfViewContainer), 0);
}

TEST_F(FrameFixture, UpdateModeOneRedrawsOnlyDirtyChildren)
{
    auto* container = new CViewContainer(CRect(0, 0, 200, 100), frame);
    frame->addView(container);
    ProbeView* views[3];
    for (int i = 0; i < 3; ++i) {
        views[i] = new ProbeView(CRect(10 + 60 * i, 10, 60 + 60 * i, 60));
        container->addView(views[i]);
    }
    portable::paint(*frame, CRect(0, 0, 200, 100));
    for (ProbeView* view : views)
        ASSERT_EQ(view->draws, 1);

    views[1]->setDirty(true);
    frame->idle();
    EXPECT_EQ(views[0]->draws, 1);
    EXPECT_EQ(views[1]->draws, 2);
    EXPECT_EQ(views[2]->draws, 1);
    EXPECT_FALSE(frame->isDirty());

    // The container's own flag makes it redraw completely.
    container->setBackgroundColor(CColor{0, 0, 255, 255});
    frame->idle();
    for (ProbeView* view : views)
        EXPECT_EQ(view->draws, view == views[1] ? 3 : 2);
    EXPECT_EQ(pixel(5, 5), kBlue);
}

TEST_F(FrameFixture, DirtyChildDrawnOnlyInPartStaysDirty)
{
    auto* child = new ProbeView(CRect(50, 20, 100, 70));
    frame->addView(child);
    portable::paint(*frame, CRect(0, 0, 75, 100));
    EXPECT_EQ(child->draws, 1);
    EXPECT_TRUE(child->isDirty());
    portable::paint(*frame, CRect(0, 0, 200, 100));
    EXPECT_FALSE(child->isDirty());
}

TEST_F(FrameFixture, TabMovesTheFocusAmongViewsThatWantIt)
{
    auto* first = new ProbeView(CRect(0, 0, 10, 10));
    auto* skipped = new ProbeView(CRect(0, 0, 10, 10));
    auto* second = new ProbeView(CRect(0, 0, 10, 10));
    first->setWantsFocus(true);
    second->setWantsFocus(true);
    for (ProbeView* view : {first, skipped, second}) {
        frame->addView(view);
        }
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), first);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), second);
    VstKeyCode backTab{0, VKEY_TAB, MODIFIER_SHIFT};
    EXPECT_EQ(frame->onKeyDown(backTab), 1);
    EXPECT_EQ(frame->getFocusView(), first);
    // Removing the focus view clears the frame's focus.
    frame->removeView(first, true);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

} // namespace
