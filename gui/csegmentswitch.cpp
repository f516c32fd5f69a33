// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/csegmentswitch.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <algorithm>

namespace gui {

CSegmentSwitch::CSegmentSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t segments,
                               CBitmap* strip)
    : CControl(size, listener, tag, strip), segments(std::max(segments, int32_t{1}))
{
}

int32_t CSegmentSwitch::segmentForValue(float v) const
{
    // In single precision, as a reader of the value that multiplies it by the count would do.
    const float span = maxValue - minValue;
    const float scaled = span > 0.0f ? (v - minValue) / span * static_cast<float>(segments) : 0.0f;
    // Written so that NaN lands on the first segment.
    if (!(scaled >= 1.0f))
        return 0;
    if (scaled >= static_cast<float>(segments - 1))
        return segments - 1;
    return static_cast<int32_t>(scaled);
}

float CSegmentSwitch::valueForSegment(int32_t segment) const
{
    if (segments < 2 || segment <= 0)
        return minValue;
    if (segment >= segments - 1)
        return maxValue;
    return static_cast<float>(minValue + (static_cast<double>(maxValue) - minValue) * segment / (segments - 1));
}

int32_t CSegmentSwitch::segmentAt(const CPoint& where) const
{
    const int32_t width = size.width();
    if (width <= 0)
        return 0;
    const int32_t segment = static_cast<int32_t>(static_cast<int64_t>(where.h - size.left) * segments / width);
    return std::clamp(segment, int32_t{0}, segments - 1);
}

void CSegmentSwitch::draw(CDrawContext* context)
{
    if (background) {
        const CPoint source(0, segmentForValue(getValue()) * size.height());
        if (bTransparencyEnabled)
            background->drawTransparent(context, size, source);
        else
            background->draw(context, size, source);
    }
    setDirty(false);
}

void CSegmentSwitch::select(CDrawContext* context, int32_t segment)
{
    if (segment == segmentForValue(getValue()))
        return;
    beginEdit();
    setValue(valueForSegment(segment));
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
}

bool CSegmentSwitch::isLeftClick(CDrawContext* context, int32_t buttons) const
{
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    // A press reaches us only as the button state read now, and a short click can be over by
    // then (an X11 host hands over events at its next idle call): a press with no button held
    // counts as a left click; one with only the middle or right button held does not.
    return (buttons & kLButton) || !(buttons & (kMButton | kRButton));
}

void CSegmentSwitch::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (bMouseEnabled && isLeftClick(context, buttons))
        select(context, segmentAt(where));
}

bool CSegmentSwitch::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    if (!bMouseEnabled)
        return false;
    const int32_t step = distance > 0.0f ? 1 : distance < 0.0f ? -1 : 0;
    select(context, std::clamp(segmentForValue(getValue()) + step, int32_t{0}, segments - 1));
    return true;
}

bool CSegmentSwitch::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CSegmentSwitch") || CControl::isTypeOf(name);
}

} // namespace gui
