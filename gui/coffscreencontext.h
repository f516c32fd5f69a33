// SPDX-License-Identifier: GPL-3.0-or-later
// A draw context on a memory bitmap of its own: the backing buffer of a container.
#pragma once

#include "gui/cdrawcontext.h"

namespace gui {

class COffscreenContext : public CDrawContext {
public:
    COffscreenContext(CFrame* frame, int32_t width, int32_t height, const CColor& background = kBlackCColor);
    ~COffscreenContext() override;

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    // Copies width x height pixels from source (in this buffer) to the destination's device
    // rectangle, within the destination's clip.
    void copyTo(CDrawContext* destination, const CRect& destinationRect, const CPoint& source);

private:
    int32_t width;
    int32_t height;
    CColor backgroundColor;
};

} // namespace gui
