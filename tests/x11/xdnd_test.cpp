// SPDX-License-Identifier: GPL-3.0-or-later
// Files dragged onto the panel's X window: a second client on a server of the test's own plays
// the file manager's side of XDND, and the panel's owner must get the local path. And the
// uri-list's forms of a local file (RFC 8089), apart from any window.
#include "editor/amp_panel.h"
#include "gui/cframe.h"
#include "gui/portable/uri_list.h"
#include "gui/portable/window_presenter.h"
#include "private_x_server.h"
#include "tests/editor/drop_recorder.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines macros such as None and Bool.
#include "xdnd_source.h"

#include <functional>
#include <string>
#include <vector>

namespace {

class XdndDrop : public ::testing::Test {
protected:
    // The host's window is not at the root's origin, so positions must be translated.
    static constexpr int kHostX = 40, kHostY = 30;

    void SetUp() override
    {
        if (server.name.empty())
            GTEST_SKIP() << "no Xvfb could be started";
        x = XOpenDisplay(server.name.c_str());
        ASSERT_NE(x, nullptr);
        host = XCreateSimpleWindow(x, DefaultRootWindow(x), kHostX, kHostY, 680, 120, 0, 0, 0);
        XMapWindow(x, host);
        XSync(x, False);
        ASSERT_TRUE(panel.open(reinterpret_cast<void*>(static_cast<uintptr_t>(host))));
        target = static_cast<Window>(gui::portable::presenter::nativeWindow(*panel.getFrame()));
        ASSERT_NE(target, 0u);
        source.target = target;
    }
    void TearDown() override
    {
        panel.close();
        if (x)
            XCloseDisplay(x);
    }

    Atom atom(const char* name) { return source.atom(name); }
    // Idles the panel as the host does while the source answers.
    bool idleUntil(const std::function<bool()>& condition)
    {
        return source.idleUntil([this] { panel.getFrame()->idle(); }, condition);
    }

    PrivateXServer server{"800x200x24", false};
    DisplayVariable display{server.name.c_str()}; // the panel connects to the server it names
    x11_test::XdndSource source{server.name};
    editor_test::DropRecorder owner;
    AmpPanel panel{owner};
    Display* x = nullptr;
    Window host = 0, target = 0;
};

TEST_F(XdndDrop, AFileDroppedOnAKnobReachesTheOwnerAsItsDecodedPath)
{
    EXPECT_EQ(source.awareVersion(target), 5);
    EXPECT_EQ(source.awareVersion(host), 0) << "the host's window is the host's";
    source.uriList = "file:///tmp/Cab%20IRs/Gr%C3%BCnfeld%204x12.wav\r\n";
    source.enter({"x-special/gnome-icon-list", "UTF8_STRING", "text/plain", "text/uri-list"});
    source.moveTo(50, 50); // on the first knob
    ASSERT_TRUE(idleUntil([&] { return !source.statuses.empty(); }));
    EXPECT_EQ(static_cast<Window>(source.statuses.back().data.l[0]), target);
    EXPECT_EQ(source.statuses.back().data.l[1] & 1, 1) << "not accepted";
    EXPECT_EQ(static_cast<Atom>(source.statuses.back().data.l[4]), atom("XdndActionCopy"));
    source.drop();
    ASSERT_TRUE(idleUntil([&] { return !source.finishes.empty(); }));
    EXPECT_EQ(static_cast<Window>(source.finishes[0].data.l[0]), target);
    EXPECT_EQ(source.finishes[0].data.l[1] & 1, 1) << "the drop was not taken";
    EXPECT_EQ(static_cast<Atom>(source.finishes[0].data.l[2]), atom("XdndActionCopy"));
    // ü is U+00FC, C3 BC in UTF-8.
    EXPECT_EQ(owner.dropped, std::vector<std::string>{"/tmp/Cab IRs/Gr\xC3\xBCnfeld 4x12.wav"});
}

TEST_F(XdndDrop, TextAloneIsRefusedAndItsDropGivesTheOwnerNothing)
{
    source.enter({"text/plain"});
    source.moveTo(300, 60);
    ASSERT_TRUE(idleUntil([&] { return !source.statuses.empty(); }));
    EXPECT_EQ(source.statuses.back().data.l[1] & 1, 0) << "accepted";
    EXPECT_EQ(static_cast<Atom>(source.statuses.back().data.l[4]), static_cast<Atom>(None));
    // A source that drops all the same is told at once that nothing was done.
    source.drop();
    ASSERT_TRUE(idleUntil([&] { return !source.finishes.empty(); }));
    EXPECT_EQ(source.finishes[0].data.l[1] & 1, 0);
    EXPECT_EQ(source.requests, 0);
    EXPECT_TRUE(owner.dropped.empty());
}

TEST_F(XdndDrop, ASourceThatNeverSendsItsDataIsToldInTimeThatTheDropFailed)
{
    source.answering = false;
    source.enter({"text/uri-list"});
    source.moveTo(300, 60);
    ASSERT_TRUE(idleUntil([&] { return !source.statuses.empty(); }));
    source.drop();
    ASSERT_TRUE(idleUntil([&] { return !source.finishes.empty(); }));
    EXPECT_EQ(source.requests, 1);
    EXPECT_EQ(source.finishes[0].data.l[1] & 1, 0);
    EXPECT_TRUE(owner.dropped.empty());
}

TEST(UriList, KeepsTheFilesOfThisMachineDecodedAndLeavesOutTheRest)
{
    const std::string list = "# a comment\r\n"
                             "file://localhost/home/u/a.wav\r\n"
                             "file://Studio-PC/home/u/b%2Bc.wav\r\n" // our host name, in other case
                             "file://otherbox/home/u/c.wav\r\n"
                             "http://example.org/d.wav\r\n"
                             "file:///home/u/broken%zz.wav\r\n"
                             "file:///home/u/nul%00.wav\r\n"
                             "file:/home/u/short%20form.wav\n"; // a line ended by LF alone
    const std::vector<std::string> expected{"/home/u/a.wav", "/home/u/b+c.wav", "/home/u/short form.wav"};
    EXPECT_EQ(gui::portable::localFilePaths(list, "studio-pc"), expected);
}

} // namespace
