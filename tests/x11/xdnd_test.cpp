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
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
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
        const Window root = DefaultRootWindow(x);
        host = XCreateSimpleWindow(x, root, kHostX, kHostY, 680, 120, 0, 0, 0);
        XMapWindow(x, host);
        sourceWindow = XCreateSimpleWindow(x, root, 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(x, atom("XdndSelection"), sourceWindow, CurrentTime);
        XSync(x, False);
        ASSERT_TRUE(panel.open(reinterpret_cast<void*>(static_cast<uintptr_t>(host))));
        target = static_cast<Window>(gui::portable::presenter::nativeWindow(*panel.getFrame()));
        ASSERT_NE(target, 0u);
    }
    void TearDown() override
    {
        panel.close();
        if (x)
            XCloseDisplay(x);
    }

    Atom atom(const char* name) { return XInternAtom(x, name, False); }

    // What a source looks for under the pointer: the protocol version the window speaks, or 0.
    long awareVersion(Window window)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        long version = 0;
        if (XGetWindowProperty(x, window, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format, &items, &after,
                               &data) == Success && data && items == 1)
            version = *reinterpret_cast<long*>(data);
        if (data)
            XFree(data);
        return version;
    }

    void send(const char* type, long l1, long l2, long l3, long l4)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = atom(type);
        event.xclient.format = 32;
        const long data[5] = {static_cast<long>(sourceWindow), l1, l2, l3, l4};
        std::copy(data, data + 5, event.xclient.data.l);
        XSendEvent(x, target, False, NoEventMask, &event);
        XFlush(x);
    }
    // Version 5; more than three types go in XdndTypeList, as the protocol has it.
    void enter(const std::vector<const char*>& types)
    {
        std::vector<long> atoms;
        for (const char* type : types)
            atoms.push_back(static_cast<long>(atom(type)));
        const bool listed = atoms.size() > 3;
        if (listed)
            XChangeProperty(x, sourceWindow, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
        atoms.resize(3, 0);
        send("XdndEnter", (5L << 24) | (listed ? 1 : 0), listed ? 0 : atoms[0], listed ? 0 : atoms[1],
             listed ? 0 : atoms[2]);
    }
    // A point of the host's window, in root coordinates.
    void moveTo(int hostX, int hostY)
    {
        send("XdndPosition", 0, ((kHostX + hostX) << 16) | (kHostY + hostY), CurrentTime,
             static_cast<long>(atom("XdndActionCopy")));
    }
    void drop() { send("XdndDrop", 0, CurrentTime, 0, 0); }

    // Idles the panel as the host does and answers as the source does, until the condition holds
    // or 20 s have passed (a loaded machine is slow; a broken build must not hang).
    bool idleUntil(const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            panel.getFrame()->idle();
            while (XPending(x) > 0) {
                XEvent event;
                XNextEvent(x, &event);
                take(event);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }

    void take(XEvent& event)
    {
        if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus"))
            statuses.push_back(event.xclient);
        else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished"))
            finishes.push_back(event.xclient);
        else if (event.type == SelectionRequest) {
            ++requests;
            if (answering)
                answer(event.xselectionrequest);
        }
    }

    void answer(const XSelectionRequestEvent& request)
    {
        XEvent reply{};
        reply.xselection = {SelectionNotify, 0, True, x, request.requestor, request.selection, request.target,
                            None, request.time};
        if (request.target == atom("text/uri-list")) {
            XChangeProperty(x, request.requestor, request.property, request.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(uriList.data()), static_cast<int>(uriList.size()));
            reply.xselection.property = request.property;
        }
        XSendEvent(x, request.requestor, False, NoEventMask, &reply);
        XFlush(x);
    }

    PrivateXServer server{"800x200x24", false};
    DisplayVariable display{server.name.c_str()}; // the panel connects to the server it names
    editor_test::DropRecorder owner;
    AmpPanel panel{owner};
    Display* x = nullptr;
    Window host = 0, sourceWindow = 0, target = 0;

    std::string uriList;
    bool answering = true;
    int requests = 0;
    std::vector<XClientMessageEvent> statuses, finishes;
};

TEST_F(XdndDrop, AFileDroppedOnAKnobReachesTheOwnerAsItsDecodedPath)
{
    EXPECT_EQ(awareVersion(target), 5);
    EXPECT_EQ(awareVersion(host), 0) << "the host's window is the host's";
    uriList = "file:///tmp/Cab%20IRs/Gr%C3%BCnfeld%204x12.wav\r\n";
    enter({"x-special/gnome-icon-list", "UTF8_STRING", "text/plain", "text/uri-list"});
    moveTo(50, 50); // on the first knob
    ASSERT_TRUE(idleUntil([&] { return !statuses.empty(); }));
    EXPECT_EQ(static_cast<Window>(statuses.back().data.l[0]), target);
    EXPECT_EQ(statuses.back().data.l[1] & 1, 1) << "not accepted";
    EXPECT_EQ(static_cast<Atom>(statuses.back().data.l[4]), atom("XdndActionCopy"));
    drop();
    ASSERT_TRUE(idleUntil([&] { return !finishes.empty(); }));
    EXPECT_EQ(static_cast<Window>(finishes[0].data.l[0]), target);
    EXPECT_EQ(finishes[0].data.l[1] & 1, 1) << "the drop was not taken";
    EXPECT_EQ(static_cast<Atom>(finishes[0].data.l[2]), atom("XdndActionCopy"));
    // ü is U+00FC, C3 BC in UTF-8.
    EXPECT_EQ(owner.dropped, std::vector<std::string>{"/tmp/Cab IRs/Gr\xC3\xBCnfeld 4x12.wav"});
}

TEST_F(XdndDrop, TextAloneIsRefusedAndItsDropGivesTheOwnerNothing)
{
    enter({"text/plain"});
    moveTo(300, 60);
    ASSERT_TRUE(idleUntil([&] { return !statuses.empty(); }));
    EXPECT_EQ(statuses.back().data.l[1] & 1, 0) << "accepted";
    EXPECT_EQ(static_cast<Atom>(statuses.back().data.l[4]), static_cast<Atom>(None));
    // A source that drops all the same is told at once that nothing was done.
    drop();
    ASSERT_TRUE(idleUntil([&] { return !finishes.empty(); }));
    EXPECT_EQ(finishes[0].data.l[1] & 1, 0);
    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(owner.dropped.empty());
}

TEST_F(XdndDrop, ASourceThatNeverSendsItsDataIsToldInTimeThatTheDropFailed)
{
    answering = false;
    enter({"text/uri-list"});
    moveTo(300, 60);
    ASSERT_TRUE(idleUntil([&] { return !statuses.empty(); }));
    drop();
    ASSERT_TRUE(idleUntil([&] { return !finishes.empty(); }));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(finishes[0].data.l[1] & 1, 0);
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
