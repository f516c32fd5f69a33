// SPDX-License-Identifier: GPL-3.0-or-later
// What behaves the same on every backend: a state setter that is given the value it already
// holds changes nothing, so no platform object is made for it; outlines are four lines.
#include "gui/cdrawcontext.h"

namespace gui {

CRect& CDrawContext::getClipRect(CRect& clip) const
{
    clip = clipRect;
    clip.offset(-offset.h, -offset.v);
    return clip;
}

void CDrawContext::setFrameColor(const CColor& color)
{
    if (color == frameColor)
        return;
    frameColor = color;
    makePen();
}

void CDrawContext::setLineWidth(int32_t width)
{
    if (width == lineWidth)
        return;
    lineWidth = width;
    makePen();
}

void CDrawContext::setLineStyle(int32_t style)
{
    if (style != kLineSolid || lineStyle == kLineSolid)
        return;
    lineStyle = kLineSolid;
    makePen();
}

// The outline covers left to right - 1 and top to bottom - 1, like every drawing.
void CDrawContext::drawRect(const CRect& rect)
{
    moveTo(CPoint(rect.left, rect.top));
    lineTo(CPoint(rect.right - 1, rect.top));
    lineTo(CPoint(rect.right - 1, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.top));
}

} // namespace gui
