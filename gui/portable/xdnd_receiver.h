// SPDX-License-Identifier: GPL-3.0-or-later
// Files dragged onto the frame's X window from other programs, by the XDND protocol (version 5):
// the drag's positions reach the view tree, which answers whether it would take the files, and at
// the drop the file list is fetched from the source and handed to the views as local paths.
//
// Where the protocol looks: XdndAware goes on our own window only. It is a child inside the host's
// window, and the host's top-level window is the host's to mark: setting XdndAware or XdndProxy
// there would take the host's own drops away, and two editors in one host would fight over it. A
// source that looks for XdndAware down the window tree under the pointer finds our window and
// sends its messages to it; as the window's creator our connection receives them, whatever the
// host's toolkit does with its own events. A source that stops at the top-level window talks to
// the host instead, and the drop is the host's.
#pragma once

#include "gui/cgeometry.h"

#include <X11/Xlib.h>

#include <array>
#include <chrono>

namespace gui {
class CDragContainer;
class CFrame;
} // namespace gui

namespace gui::portable {

class XdndReceiver {
public:
    // Marks the window as a drop target; the frame's view tree receives the drags.
    XdndReceiver(Display* display, Window window, CFrame& frame);
    // Forgets a drag in progress without a word to anyone: the frame is going.
    ~XdndReceiver();
    XdndReceiver(const XdndReceiver&) = delete;
    XdndReceiver& operator=(const XdndReceiver&) = delete;

    // The protocol's client messages for the window and the SelectionNotify that brings a drop's
    // data; other events are left alone.
    void handle(const XEvent& event);
    // Gives up a drop whose data has not come in time: a source that never answers must not
    // keep the drag open, and nothing ever waits for it.
    void idle();

private:
    // Atoms by name, interned together.
    enum Name { kAware, kEnter, kPosition, kStatus, kLeave, kDrop, kFinished, kSelection, kTypeList,
                kActionCopy, kUriList, kNameCount };

    void enter(const XClientMessageEvent& message);
    void position(const XClientMessageEvent& message);
    void drop(const XClientMessageEvent& message);
    void dataArrived(const XSelectionEvent& event);
    // Ends a dropped drag that brought no files the views took.
    void fail();
    void leaveViews();
    void finish(bool taken);
    void reset();
    void send(Atom type, long l1, long l2, long l3, long l4);
    template <typename Call>
    void withContext(Call call);

    Display* display;
    Window window;
    Window root = 0;
    CFrame& frame;
    std::array<Atom, kNameCount> atoms{};

    // The drag in progress: its source (0 when none) and what the views said of it.
    Window source = 0;
    CDragContainer* drag = nullptr;
    bool entered = false;
    bool accepted = false;
    CPoint where; // the last position, in window coordinates
    bool awaitingData = false;
    std::chrono::steady_clock::time_point dropTime;
};

} // namespace gui::portable
