// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/coffscreencontext.h"

#include "gui/portable/pixel_surface.h"
#include "gui/portable/raster.h"

#include <algorithm>

namespace gui {

COffscreenContext::COffscreenContext(CFrame* frame, int32_t width, int32_t height, const CColor& background)
    : CDrawContext(frame, NoDevice{}), width(width), height(height), backgroundColor(background)
{
    clipRect = CRect(std::min(0, width), std::min(0, height), std::max(0, width), std::max(0, height));
    systemContext = new portable::PixelSurface(width, height);
    initialiseDrawingState();
    setFillColor(backgroundColor);
    setFrameColor(backgroundColor);
    fillRect(CRect(0, 0, width, height));
    drawRect(CRect(0, 0, width, height));
}

COffscreenContext::~COffscreenContext()
{
    delete static_cast<portable::PixelSurface*>(systemContext);
    systemContext = nullptr;
}

void COffscreenContext::copyTo(CDrawContext* destination, const CRect& destinationRect, const CPoint& source)
{
    auto* target = static_cast<portable::PixelSurface*>(destination ? destination->getSystemContext() : nullptr);
    if (!target)
        return;
    CRect clip;
    destination->getClipRect(clip);
    clip.offset(destination->offset.h, destination->offset.v);
    portable::BlitRequest request;
    request.destination = destinationRect;
    request.source = source;
    request.clip = clip;
    portable::blitPixels(*static_cast<portable::PixelSurface*>(systemContext), *target, request);
}

} // namespace gui
