// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cknob.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"

#include <cmath>
#include <numbers>

namespace gui {

namespace {

constexpr float kTwoPiFloat = 6.2831854820251465f;
constexpr double kTwoPiDouble = 6.283185307179586;
// Shift turns a wheel notch or an arrow key into a tenth of the usual step.
constexpr double kFineStep = 0.10000000149011612;

float wrapAngle(float angle)
{
    if (angle < 0.0f)
        return angle + kTwoPiFloat;
    if (static_cast<double>(angle) > kTwoPiDouble)
        return angle - kTwoPiFloat;
    return angle;
}

} // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), radius(static_cast<float>(size.width()) / 2.0f)
{
    if (handle)
        setHandleBitmap(handle);
    rangeAngle = 1.0f;
    setStartAngle(static_cast<float>(5.0 * std::numbers::pi / 4.0));
    setRangeAngle(static_cast<float>(-3.0 * std::numbers::pi / 2.0));
    setWantsFocus(true);
}

CKnob::~CKnob()
{
    if (handleBitmap)
        handleBitmap->forget();
}

void CKnob::compute()
{
    // Only the stored results are single precision; the steps towards them are not.
    aCoef = static_cast<float>((static_cast<double>(maxValue) - minValue) / rangeAngle);
    bCoef = static_cast<float>(minValue - static_cast<double>(aCoef) * startAngle);
    halfAngle = static_cast<float>((static_cast<double>(kTwoPiFloat) - std::fabs(rangeAngle)) * 0.5);
    setDirty(true);
}

void CKnob::setStartAngle(float angle)
{
    startAngle = angle;
    compute();
}

void CKnob::setRangeAngle(float angle)
{
    rangeAngle = angle;
    compute();
}

void CKnob::setColorShadowHandle(const CColor& color)
{
    colorShadowHandle = color;
    setDirty(true);
}

void CKnob::setColorHandle(const CColor& color)
{
    colorHandle = color;
    setDirty(true);
}

void CKnob::setHandleBitmap(CBitmap* bitmap)
{
    if (handleBitmap)
        handleBitmap->forget();
    handleBitmap = bitmap;
    if (handleBitmap) {
        handleBitmap->remember();
        inset = static_cast<int32_t>(handleBitmap->getWidth() * 0.5 + 2.5);
    }
}

void CKnob::valueToPoint(CPoint& point) const
{
    const float t = static_cast<float>((static_cast<double>(getValue()) - bCoef) / aCoef);
    const double reach = static_cast<double>(radius) - inset;
    // The double results rounded to float, not the float library functions, which may differ
    // in the last bit.
    const float c = static_cast<float>(std::cos(static_cast<double>(t)));
    const float s = static_cast<float>(std::sin(static_cast<double>(t)));
    point.h = static_cast<int32_t>(radius + c * reach + 0.5);
    point.v = static_cast<int32_t>(radius - s * reach + 0.5);
}

float CKnob::valueFromPoint(CPoint& point) const
{
    // Float arguments, the double result rounded to float (the float atan2 may differ in the
    // last bit).
    const float y = radius - static_cast<float>(point.v);
    const float x = static_cast<float>(point.h) - radius;
    float alpha = static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
    if (alpha < 0.0f)
        alpha = alpha + kTwoPiFloat;
    alpha = alpha - startAngle;

    if (rangeAngle < 0.0f) {
        const float beta = alpha - rangeAngle;
        const float wrapped = wrapAngle(beta);
        const float beyondMax = halfAngle - rangeAngle;
        if (wrapped > beyondMax)
            return maxValue;
        if (wrapped > -rangeAngle)
            return minValue;
        float gamma = beta;
        if (beta > beyondMax)
            gamma = beta - kTwoPiFloat;
        else if (beta < -halfAngle)
            gamma = beta + kTwoPiFloat;
        return static_cast<float>(static_cast<double>(gamma) * aCoef + maxValue);
    }
    const float beta = alpha;
    const float wrapped = wrapAngle(beta);
    const float beyondMax = rangeAngle + halfAngle;
    if (wrapped > beyondMax)
        return minValue;
    if (wrapped > rangeAngle)
        return maxValue;
    float gamma = beta;
    if (beta > beyondMax)
        gamma = beta - kTwoPiFloat;
    else if (beta < -halfAngle)
        gamma = beta + kTwoPiFloat;
    return static_cast<float>(static_cast<double>(gamma) * aCoef + minValue);
}

void CKnob::draw(CDrawContext* context)
{
    if (background) {
        if (bTransparencyEnabled)
            background->drawTransparent(context, size, offset);
        else
            background->draw(context, size, offset);
    }
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context)
{
    CPoint handle;
    valueToPoint(handle);
    handle.offset(size.left, size.top);
    if (handleBitmap) {
        const int32_t w = handleBitmap->getWidth();
        const int32_t h = handleBitmap->getHeight();
        const CRect where(handle.h - w / 2, handle.v - h / 2, handle.h - w / 2 + w, handle.v - h / 2 + h);
        handleBitmap->drawTransparent(context, where);
        return;
    }
    const CPoint centre(size.left + size.width() / 2, size.top + size.height() / 2);
    context->setFrameColor(colorShadowHandle);
    context->moveTo(handle);
    context->lineTo(centre);
    context->setFrameColor(colorHandle);
    context->moveTo(CPoint(handle.h + 1, handle.v - 1));
    context->lineTo(CPoint(centre.h + 1, centre.v - 1));
}

void CKnob::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton))
        return;
    if (listener && (buttons & kModifierMask) && listener->controlModifierClicked(context, this, buttons) != 0)
        return;
    if (checkDefaultValue(context, buttons))
        return;

    // The drag arithmetic runs in double; only the stored value is rounded to float.
    drag.span = static_cast<double>(maxValue) - minValue;
    drag.entry = getValue();
    drag.middle = drag.span * 0.5;
    drag.coef = drag.span / 200.0;
    drag.linear = false;
    drag.previousButtons = buttons;
    drag.old = 0.0f;
    drag.lastWhere = CPoint(-1, -1);

    const bool knobModeLinear = parentFrame && parentFrame->getKnobMode() == 2;
    const bool alt = (buttons & kAlt) != 0;
    if (knobModeLinear != alt) {
        const double range = (buttons & kShift) ? zoomFactor * 200.0 : 200.0;
        drag.coef = drag.span / range;
        drag.firstPoint = where;
        drag.linear = true;
    } else {
        CPoint relative = where;
        relative.offset(-size.left, -size.top);
        drag.old = valueFromPoint(relative);
    }

    beginEdit();
    // The frame follows the rest of the drag on its idle passes: the host's thread goes on.
    if (parentFrame && parentFrame->getDragsFollowIdle()) {
        dragTo(context, where, buttons);
        CPoint inFrame = where;
        localToFrame(inFrame);
        parentFrame->startMouseTracking(this, inFrame);
        return;
    }
    do {
        buttons = context ? context->getMouseButtons() : 0;
        dragTo(context, where, buttons);
        getMouseLocation(context, where);
        doIdleStuff();
    } while (buttons & kLButton);
    endEdit();
}

bool CKnob::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    dragTo(context, where, buttons);
    if (buttons & kLButton)
        return true;
    endEdit();
    return false;
}

void CKnob::dragTo(CDrawContext* context, CPoint where, int32_t buttons)
{
    if (where == drag.lastWhere)
        return;
    drag.lastWhere = where;
    if (drag.linear) {
        const int32_t diff = (where.h - drag.firstPoint.h) + (drag.firstPoint.v - where.v);
        if (buttons != drag.previousButtons) {
            const double range = (buttons & kShift) ? zoomFactor * 200.0 : 200.0;
            const double newCoef = drag.span / range;
            drag.entry = drag.entry + diff * (drag.coef - newCoef);
            drag.coef = newCoef;
            drag.previousButtons = buttons;
        }
        setValue(static_cast<float>(drag.entry + diff * drag.coef));
        bounceValue();
    } else {
        where.offset(-size.left, -size.top);
        setValue(valueFromPoint(where));
        const float current = getValue();
        // Crossing the dead zone pins the knob at the end it came from.
        if (static_cast<double>(drag.old) - current > drag.middle)
            setValue(maxValue);
        else if (static_cast<double>(current) - drag.old > drag.middle)
            setValue(minValue);
        else
            drag.old = current;
    }
    if (isDirty() && listener)
        listener->valueChanged(context, this);
}

bool CKnob::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    if (!bMouseEnabled)
        return false;
    const int32_t buttons = context ? context->getMouseButtons() : 0;
    const double step = (buttons & kShift) ? static_cast<double>(wheelIncrement) * distance * kFineStep
                                           : static_cast<double>(wheelIncrement) * distance;
    setValue(static_cast<float>(getValue() + step));
    bounceValue();
    if (isDirty() && listener) {
        beginEdit();
        listener->valueChanged(context, this);
        endEdit();
    }
    return true;
}

int32_t CKnob::onKeyDown(VstKeyCode& keyCode)
{
    int32_t direction = 0;
    switch (keyCode.virt) {
    case VKEY_LEFT:
    case VKEY_DOWN:
        direction = -1;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        direction = 1;
        break;
    default:
        return -1;
    }
    const double step = (keyCode.modifier & MODIFIER_SHIFT)
                            ? static_cast<double>(wheelIncrement) * direction * kFineStep
                            : static_cast<double>(wheelIncrement) * direction;
    setValue(static_cast<float>(getValue() + step));
    bounceValue();
    if (isDirty() && listener) {
        beginEdit();
        listener->valueChanged(nullptr, this);
        endEdit();
    }
    return 1;
}

bool CKnob::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CKnob") || CControl::isTypeOf(name);
}

} // namespace gui
