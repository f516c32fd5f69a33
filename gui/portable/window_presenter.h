// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a portable frame's pixels in a real window inside the host's and feeds that window's
// events back to the frame. On Linux this is an X11 child window; elsewhere nothing is shown.
// Window-system headers stay in the implementation.
#pragma once

#include <cstdint>

namespace gui {
class CFrame;
}

namespace gui::portable {

struct PixelSurface;

namespace presenter {

// Whether this parent value names a window of the window system. X resource ids have their top
// three bits clear; a larger value (an address a test passes) keeps the in-memory window only.
bool wantsWindow(void* parentWindow);
// Makes the frame's window inside the parent and shows the surface there; false when no
// window could be made (no display, no such parent, an unusable visual).
bool attach(CFrame& frame, PixelSurface& surface, void* parentWindow);
// Destroys the window and frees everything attach made.
void detach(CFrame& frame);
// The frame's surface was replaced by one of another size.
void resized(CFrame& frame, PixelSurface& surface);
void setCursor(CFrame& frame, int32_t type);
// The window-system id of the frame's window (an X Window), for hosts that embed it by id; 0
// when the frame has none.
uintptr_t nativeWindow(const CFrame& frame);

} // namespace presenter

} // namespace gui::portable
