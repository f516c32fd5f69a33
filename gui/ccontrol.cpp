// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ccontrol.h"

#include "gui/cframe.h"

namespace gui {

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* bitmap)
    : CView(size), listener(listener), tag(tag)
{
    setMouseEnabled(true);
    setTransparency(false);
    setBackground(bitmap);
    setDirty(true);
}

CControl::~CControl() = default;

bool CControl::isDirty() const
{
    // A NaN compares unequal, so it counts as a change.
    return !(getValue() == oldValue) || CView::isDirty();
}

void CControl::setDirty(bool state)
{
    CView::setDirty(state);
    if (state)
        oldValue = getValue() == -1.0f ? 0.0f : -1.0f;
    else
        oldValue = getValue();
}

bool CControl::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CControl") || CView::isTypeOf(name);
}

void CControl::doIdleStuff()
{
    if (parentFrame)
        parentFrame->doIdleStuff();
}

void CControl::beginEdit()
{
    if (parentFrame) {
        parentFrame->setFocusView(this);
        parentFrame->beginEdit(tag);
    }
    setAttention(editing, true);
}

void CControl::endEdit()
{
    if (parentFrame)
        parentFrame->endEdit(tag);
    setAttention(editing, false);
}

void CControl::onMouseEntered()
{
    setAttention(hovered, true);
}

void CControl::onMouseExited()
{
    setAttention(hovered, false);
}

void CControl::setAttention(bool& flag, bool state)
{
    if (flag == state)
        return;
    flag = state;
    if (listener)
        listener->controlAttentionChanged(this);
}

void CControl::bounceValue()
{
    const float v = getValue();
    if (v > maxValue)
        setValue(maxValue);
    else if (v < minValue)
        setValue(minValue);
}

bool CControl::checkDefaultValue(CDrawContext* context, int32_t buttons)
{
    if (buttons != (kLButton | kControl))
        return false;
    beginEdit();
    setValue(getDefaultValue());
    if (isDirty() && listener)
        listener->valueChanged(context, this);
    endEdit();
    return true;
}

} // namespace gui
