// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's own window in-process: resizing keeps the screen equal to the frame's pixels.
#include "display_turn.h"
#include "gui/cframe.h"
#include "gui/portable/portable_window.h"
#include "tests/editor/recording_host.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

namespace {

struct X11FrameTest : ::testing::Test {
    x11_test::DisplayTurn turn;
    Display* display = nullptr;
    Window parent = 0;
    editor_test::RecordingHost host;

    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            GTEST_SKIP() << "no X display reachable";
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 800, 200, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
        ASSERT_TRUE(host.editor().open(reinterpret_cast<void*>(static_cast<uintptr_t>(parent))));
    }
    void TearDown() override
    {
        host.editor().close();
        if (display) {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    gui::CFrame& frame() { return *host.editor().getFrame(); }

    Window child()
    {
        Window root = 0, up = 0, *children = nullptr, result = 0;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        if (count == 1)
            result = children[0];
        if (children)
            XFree(children);
        return result;
    }

    // Pixels of the child window that differ from the frame's buffer.
    int differingPixels()
    {
        const auto* pixels = gui::portable::windowPixels(frame());
        XImage* image = XGetImage(display, child(), 0, 0, static_cast<unsigned>(pixels->width),
                                  static_cast<unsigned>(pixels->height), AllPlanes, ZPixmap);
        if (!image)
            return -1;
        int differing = 0;
        for (int y = 0; y < pixels->height; ++y)
            for (int x = 0; x < pixels->width; ++x)
                differing += (XGetPixel(image, x, y) & 0xffffff) != pixels->at(x, y);
        XDestroyImage(image);
        return differing;
    }

    void idle(int passes)
    {
        for (int i = 0; i < passes; ++i) {
            host.editor().idle();
            XSync(display, False);
        }
    }
};

TEST_F(X11FrameTest, AResizeTheHostAgreesToResizesTheWindowAndRedrawsIt)
{
    idle(20);
    ASSERT_EQ(differingPixels(), 0);
    host.sizeWindowAnswer = 1;
    ASSERT_TRUE(frame().setSize(400, 90));
    XSync(display, False);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, child(), &attributes);
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 90);
    ASSERT_EQ(gui::portable::windowPixels(frame())->width, 400);
    idle(5);
    EXPECT_EQ(differingPixels(), 0);
    // The new buffer holds the panel again, not the blank fill of a new surface.
    EXPECT_NE(gui::portable::windowPixels(frame())->at(10, 10), 0xf0f0f0u);
}

TEST_F(X11FrameTest, WithoutTheHostsAnswerTheFrameGrowsItsOwnWindowOnly)
{
    idle(20);
    host.sizeWindowAnswer = 0;
    ASSERT_TRUE(frame().setSize(700, 110));
    idle(5);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, child(), &attributes);
    EXPECT_EQ(attributes.width, 700);
    EXPECT_EQ(attributes.height, 110);
    XGetWindowAttributes(display, parent, &attributes);
    EXPECT_EQ(attributes.width, 800); // the host's window is the host's
    EXPECT_EQ(differingPixels(), 0);
}

} // namespace
