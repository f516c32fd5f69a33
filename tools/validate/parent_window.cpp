// SPDX-License-Identifier: GPL-3.0-or-later
#include "parent_window.h"

#include <X11/Xlib.h>

#include <cstdint>

namespace validate {

struct ParentWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
};

ParentWindow::ParentWindow()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 800, 600, 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window);
    // The plug-in talks to the server on a connection of its own: the window must exist there.
    XSync(display, False);
    impl = new Impl{display, window};
}

ParentWindow::~ParentWindow()
{
    if (!impl)
        return;
    XDestroyWindow(impl->display, impl->window);
    XCloseDisplay(impl->display);
    delete impl;
}

void* ParentWindow::handle() const
{
    return impl ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(impl->window)) : nullptr;
}

} // namespace validate
