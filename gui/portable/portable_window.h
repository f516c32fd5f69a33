// SPDX-License-Identifier: GPL-3.0-or-later
// The portable frame window: its pixels, and the window-message entries a presenter (or a test)
// drives: paint, button press and wheel turn.
#pragma once

#include "gui/cgeometry.h"
#include "gui/portable/pixel_surface.h"

namespace gui {
class CFrame;
}

namespace gui::portable {

// The frame window's pixels; null when the frame made no window (no parent window given).
const PixelSurface* windowPixels(const CFrame& frame);

// A paint request for the rectangle of the window: draws it from the view tree.
void paint(CFrame& frame, const CRect& rect);
// A button press at a point of the window; the button state is read from the live input.
void buttonDown(CFrame& frame, const CPoint& where);
// A wheel turn with the platform's delta (120 per notch) at a screen position.
bool wheel(CFrame& frame, const CPoint& screenWhere, int16_t delta);

// Frames that currently hold the module's window class.
int32_t windowClassUseCount();
// The cursor type last set by a frame.
int32_t currentCursorType();

} // namespace gui::portable
