// SPDX-License-Identifier: GPL-3.0-or-later
// A rotary control: angular geometry, the drag (circular or linear; a loop of its own, or followed
// by the frame across idle passes), wheel and keys.
#pragma once

#include "gui/ccontrol.h"

namespace gui {

class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint());
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    using CControl::onWheel;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool isTypeOf(const char* name) const override;
    bool trackMouse(CDrawContext* context, CPoint& where, int32_t buttons) override;

    virtual void drawHandle(CDrawContext* context);
    virtual void setStartAngle(float angle);
    virtual float getStartAngle() const { return startAngle; }
    virtual void setRangeAngle(float angle);
    virtual float getRangeAngle() const { return rangeAngle; }
    // The handle point for the value, relative to the knob's top-left corner.
    virtual void valueToPoint(CPoint& point) const;
    // The value for a point relative to the knob's top-left corner.
    virtual float valueFromPoint(CPoint& point) const;
    virtual void setInsetValue(int32_t value) { inset = value; }
    virtual void setColorShadowHandle(const CColor& color);
    virtual void setColorHandle(const CColor& color);
    virtual void setHandleBitmap(CBitmap* bitmap);
    virtual void setZoomFactor(float factor) { zoomFactor = factor; }
    virtual float getZoomFactor() const { return zoomFactor; }

protected:
    void compute();

    CPoint offset;
    CColor colorHandle{255, 255, 255, 255};
    CColor colorShadowHandle{127, 127, 127, 255};
    CBitmap* handleBitmap = nullptr;
    int32_t inset = 3;
    float startAngle = 0.0f;
    float rangeAngle = 0.0f;
    float halfAngle = 0.0f;
    float aCoef = 0.0f;
    float bCoef = 0.0f;
    float radius;
    float zoomFactor = 1.5f;

private:
    // One step of a drag: the pointer at `where` (parent coordinates) with the button state.
    void dragTo(CDrawContext* context, CPoint where, int32_t buttons);

    // What a drag keeps from its press to its release.
    struct Drag {
        double span = 0.0;
        double entry = 0.0;
        double middle = 0.0;
        double coef = 0.0;
        CPoint firstPoint;
        CPoint lastWhere;
        bool linear = false;
        int32_t previousButtons = 0;
        float old = 0.0f;
    } drag;
};

} // namespace gui
