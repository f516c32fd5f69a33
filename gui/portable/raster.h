// SPDX-License-Identifier: GPL-3.0-or-later
// Clipped pixel operations of the portable backend.
#pragma once

#include "gui/portable/pixel_surface.h"

namespace gui::portable {

// Fills the device rectangle (right and bottom excluded) within the clip.
void fillPixels(PixelSurface& surface, const CRect& rect, const CRect& clip, uint32_t color);
// A one-pixel line from a to b, the end point excluded, within the clip.
void linePixels(PixelSurface& surface, CPoint a, CPoint b, const CRect& clip, uint32_t color);

enum class BlitMode { opaque, transparent, alpha };

struct BlitRequest {
    CRect destination; // device rectangle on the destination surface
    CPoint source;     // top-left in the source surface
    CRect clip;        // device clip of the destination
    BlitMode mode = BlitMode::opaque;
    uint32_t transparentColor = 0;
    uint8_t alpha = 255;
};

void blitPixels(const PixelSurface& source, PixelSurface& destination, const BlitRequest& request);

} // namespace gui::portable
