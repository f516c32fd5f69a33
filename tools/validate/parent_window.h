// SPDX-License-Identifier: GPL-3.0-or-later
// A top-level X11 window for plug-in editors to open inside, as a host gives them.
#pragma once

namespace validate {

class ParentWindow {
public:
    ParentWindow();  // on the display named by DISPLAY; none when it cannot be opened
    ~ParentWindow();
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;

    // The window as effEditOpen takes it; null when there is no display.
    void* handle() const;

private:
    struct Impl;
    Impl* impl = nullptr;
};

} // namespace validate
