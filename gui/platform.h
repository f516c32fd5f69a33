// SPDX-License-Identifier: GPL-3.0-or-later
// The few live services the view tree and the editor take from the platform: clock, sleep,
// cursor, buttons and the one pending repaint that a knob drag lets through.
#pragma once

#include "gui/cgeometry.h"

#include <cstdint>

namespace gui {
class CFrame;
}

namespace gui::platform {

uint32_t tickCount();
void sleepMilliseconds(uint32_t milliseconds);
// Cursor position on the screen.
CPoint cursorScreenPosition();
// The mouse-button state word: 1 left, 2 middle, 4 right, 8 Shift, 16 Control, 32 Alt.
int32_t mouseButtonState();
// Removes at most one pending repaint of this thread and handles it.
void dispatchOnePendingRepaint();

// A backend whose window events are not delivered by the host takes them on the frame's idle
// pass (the host's editor idle call) through this hook; null (the default) for none.
using FrameIdleHook = void (*)(CFrame& frame);
void setFrameIdleHook(FrameIdleHook hook);

} // namespace gui::platform
