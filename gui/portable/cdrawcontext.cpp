// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cdrawcontext.h"

#include "gui/cframe.h"
#include "gui/platform.h"
#include "gui/portable/pixel_surface.h"
#include "gui/portable/raster.h"

namespace gui {

namespace {

portable::PixelSurface* surfaceOf(void* device)
{
    return static_cast<portable::PixelSurface*>(device);
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, NoDevice) : frame(frame)
{
    clipRect = frame ? frame->getSizeRect() : CRect(0, 0, 1000, 1000);
}

CDrawContext::CDrawContext(CFrame* frame, void* device, void* window) : CDrawContext(frame, NoDevice{})
{
    this->window = window;
    // The portable window is its own pixel surface, so taking the window's device needs no release.
    systemContext = device ? device : window;
    initialiseDrawingState();
}

CDrawContext::~CDrawContext() = default;

void CDrawContext::initialiseDrawingState()
{
    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    if (fontId != 0) {
        fontId = 0;
        fontStyle = 0;
        fontSize = 12;
    }
    setDrawMode(kCopyMode);
}

void CDrawContext::makePen()
{
    ++platformChanges;
}

void CDrawContext::setClipRect(const CRect& clip)
{
    const CRect device = CRect(clip).offset(offset.h, offset.v);
    if (device == clipRect)
        return;
    clipRect = device;
    ++platformChanges;
}

void CDrawContext::setFillColor(const CColor& color)
{
    if (color == fillColor)
        return;
    fillColor = color;
    ++platformChanges;
}

void CDrawContext::setFontColor(const CColor& color)
{
    fontColor = color;
}

void CDrawContext::setDrawMode(int32_t mode)
{
    if (mode == drawMode)
        return;
    drawMode = mode;
}

void CDrawContext::moveTo(const CPoint& point)
{
    penLocation = point;
}

void CDrawContext::lineTo(const CPoint& point)
{
    if (auto* surface = surfaceOf(systemContext)) {
        const CPoint from = CPoint(penLocation).offset(offset.h, offset.v);
        const CPoint to = CPoint(point).offset(offset.h, offset.v);
        portable::linePixels(*surface, from, to, clipRect, portable::packColor(frameColor));
    }
    penLocation = point;
}

void CDrawContext::fillRect(const CRect& rect)
{
    auto* surface = surfaceOf(systemContext);
    if (!surface)
        return;
    const CRect area = CRect(rect.left + 1, rect.top + 1, rect.right, rect.bottom).offset(offset.h, offset.v);
    portable::fillPixels(*surface, area, clipRect, portable::packColor(fillColor));
}

int32_t CDrawContext::getMouseButtons()
{
    return platform::mouseButtonState();
}

} // namespace gui
