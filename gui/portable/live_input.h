// SPDX-License-Identifier: GPL-3.0-or-later
// The live input of the portable backend: cursor, buttons, clock, sleep and pending repaints.
// Tests install a scripted provider; a window presenter installs one that reads its display.
#pragma once

#include "gui/cgeometry.h"

#include <cstdint>

namespace gui::portable {

class LiveInput {
public:
    virtual ~LiveInput() = default;
    // Cursor position on the screen; the portable frame window sits at the screen origin.
    virtual CPoint cursorPosition() = 0;
    // 1 left, 2 middle, 4 right, 8 Shift, 16 Control, 32 Alt.
    virtual int32_t buttonState() = 0;
    virtual uint32_t tickCount() = 0;
    virtual void sleep(uint32_t milliseconds) = 0;
    // Handles at most one pending repaint.
    virtual void dispatchOnePendingRepaint() = 0;
};

// Installs the process-wide provider; null restores the built-in one (no cursor movement, no
// buttons, the monotonic clock, real sleeps, no repaints).
void setLiveInput(LiveInput* input);
LiveInput& liveInput();
// The provider installed with setLiveInput; null while the built-in one serves.
LiveInput* installedLiveInput();

} // namespace gui::portable
