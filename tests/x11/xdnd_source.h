// SPDX-License-Identifier: GPL-3.0-or-later
// The file manager's side of XDND (version 5), played by a client of its own on the test's server:
// it offers types to the target window, moves over it, drops, and hands over the uri-list when
// asked. Include after the test framework: Xlib defines macros such as None and Bool.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace x11_test {

class XdndSource {
public:
    explicit XdndSource(const std::string& displayName) : x(XOpenDisplay(displayName.c_str()))
    {
        if (!x)
            return;
        window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(x, atom("XdndSelection"), window, CurrentTime);
        XSync(x, False);
    }
    ~XdndSource()
    {
        if (x)
            XCloseDisplay(x);
    }
    XdndSource(const XdndSource&) = delete;
    XdndSource& operator=(const XdndSource&) = delete;

    Atom atom(const char* name) { return XInternAtom(x, name, False); }

    // What a source looks for under the pointer: the protocol version the window speaks, or 0.
    long awareVersion(Window w)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        long version = 0;
        if (XGetWindowProperty(x, w, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format, &items, &after,
                               &data) == Success && data && items == 1)
            version = *reinterpret_cast<long*>(data);
        if (data)
            XFree(data);
        return version;
    }

    // More than three types go in XdndTypeList, as the protocol has it.
    void enter(const std::vector<const char*>& types)
    {
        std::vector<long> atoms;
        for (const char* type : types)
            atoms.push_back(static_cast<long>(atom(type)));
        const bool listed = atoms.size() > 3;
        if (listed)
            XChangeProperty(x, window, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
        atoms.resize(3, 0);
        send("XdndEnter", (5L << 24) | (listed ? 1 : 0), listed ? 0 : atoms[0], listed ? 0 : atoms[1],
             listed ? 0 : atoms[2]);
    }
    // A point of the target window; the message carries it in root coordinates.
    void moveTo(int targetX, int targetY)
    {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(x, target, DefaultRootWindow(x), targetX, targetY, &rootX, &rootY, &child);
        send("XdndPosition", 0, (rootX << 16) | rootY, CurrentTime, static_cast<long>(atom("XdndActionCopy")));
    }
    void drop() { send("XdndDrop", 0, CurrentTime, 0, 0); }

    // Runs the target's side with `idle` and answers as the source does, until the condition holds
    // or 20 s have passed (a loaded machine is slow; a broken build must not hang).
    bool idleUntil(const std::function<void()>& idle, const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            idle();
            while (XPending(x) > 0) {
                XEvent event;
                XNextEvent(x, &event);
                take(event);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }

    Window target = 0;
    std::string uriList;  // what a drop hands over
    bool answering = true; // false: a source that never sends its data
    int requests = 0;
    std::vector<XClientMessageEvent> statuses, finishes;

private:
    void send(const char* type, long l1, long l2, long l3, long l4)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = atom(type);
        event.xclient.format = 32;
        const long data[5] = {static_cast<long>(window), l1, l2, l3, l4};
        std::copy(data, data + 5, event.xclient.data.l);
        XSendEvent(x, target, False, NoEventMask, &event);
        XFlush(x);
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

    Display* x;
    Window window = 0;
};

} // namespace x11_test
