// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/canimknob.h"

#include "gui/cbitmap.h"

#include <cmath>

namespace gui {

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     int32_t heightOfOneImage, CBitmap* strip, const CPoint& offset)
    : CKnob(size, listener, tag, strip, nullptr, offset), frameCount(subPixmaps), frameHeight(heightOfOneImage)
{
    inset = 0;
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* strip,
                     const CPoint& offset)
    : CKnob(size, listener, tag, strip, nullptr, offset), frameHeight(size.height())
{
    const int32_t stripHeight = strip ? strip->getHeight() : 0;
    frameCount = frameHeight != 0 ? static_cast<int16_t>(stripHeight / frameHeight) : 0;
    inset = 0;
}

int32_t CAnimKnob::sourceOffsetForValue() const
{
    const float v = getValue();
    if (!(v >= 0.0f))
        return 0;
    const int32_t span = frameHeight * (frameCount - 1);
    if (span <= 0)
        return 0;
    const double position = bInverseBitmap ? (1.0 - v) * span : static_cast<double>(v) * span;
    // Past the last frame the strip has no picture: show the nearest end instead.
    if (!(position >= 0.0))
        return 0;
    if (position >= span)
        return span;
    const int32_t raw = static_cast<int32_t>(position);
    return raw / frameHeight * frameHeight;
}

void CAnimKnob::draw(CDrawContext* context)
{
    const CPoint source(0, sourceOffsetForValue());
    if (background) {
        if (bTransparencyEnabled)
            background->drawTransparent(context, size, source);
        else
            background->draw(context, size, source);
    }
    valueToPoint(lastDrawnPoint);
    setDirty(false);
}

bool CAnimKnob::isDirty() const
{
    if (!bDirty) {
        CPoint point;
        valueToPoint(point);
        if (point == lastDrawnPoint)
            return false;
    }
    return CKnob::isDirty();
}

bool CAnimKnob::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CAnimKnob") || CKnob::isTypeOf(name);
}

} // namespace gui
