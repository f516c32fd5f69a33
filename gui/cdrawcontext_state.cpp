// Drawing state that behaves the same on every backend: a setter that is given the value it
// already holds changes nothing, so no platform object is made for it.
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

} // namespace gui
