// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cstepselector.h"

#include "gui/cbitmap.h"

namespace gui {

CStepSelector::CStepSelector(const CRect& size, CControlListener* listener, int32_t tag, int32_t positions,
                             int32_t arrowWidth, CBitmap* strip)
    : CSegmentSwitch(size, listener, tag, positions, strip), arrowWidth(arrowWidth)
{
}

CRect CStepSelector::backArrowRect() const
{
    return {size.left, size.top, size.left + arrowWidth, size.bottom};
}

CRect CStepSelector::forwardArrowRect() const
{
    return {size.right - arrowWidth, size.top, size.right, size.bottom};
}

void CStepSelector::draw(CDrawContext* context)
{
    if (background) {
        const int32_t position = segmentForValue(getValue());
        const int32_t frame = position == 0 ? 0 : position == getSegmentCount() - 1 ? 2 : 1;
        const int32_t top = frame * size.height();
        background->draw(context, backArrowRect(), CPoint(0, top));
        background->draw(context, forwardArrowRect(), CPoint(arrowWidth, top));
    }
    setDirty(false);
}

void CStepSelector::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (!bMouseEnabled || !isLeftClick(context, buttons))
        return;
    const int32_t position = segmentForValue(getValue());
    const int32_t last = getSegmentCount() - 1;
    if (where.h < size.left + arrowWidth)
        select(context, position > 0 ? position - 1 : 0);
    else if (where.h >= size.right - arrowWidth)
        select(context, position < last ? position + 1 : last);
    else
        select(context, position < last ? position + 1 : 0);
}

bool CStepSelector::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CStepSelector") || CSegmentSwitch::isTypeOf(name);
}

} // namespace gui
