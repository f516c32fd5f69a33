// SPDX-License-Identifier: GPL-3.0-or-later
// A view with a value and a range, a default, a tag, a listener, and edit bracketing.
#pragma once

#include "gui/ccontrollistener.h"
#include "gui/cview.h"

#include <atomic>

namespace gui {

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background = nullptr);
    ~CControl() override;

    void draw(CDrawContext* context) override = 0;
    bool isDirty() const override;
    void setDirty(bool state = true) override;
    bool isTypeOf(const char* name) const override;

    virtual void doIdleStuff();
    // The value may be set from a thread other than the editor's: a relaxed store, nothing more.
    virtual void setValue(float newValue) { value.store(newValue, std::memory_order_relaxed); }
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    virtual void setMin(float v) { minValue = v; }
    virtual float getMin() const { return minValue; }
    virtual void setMax(float v) { maxValue = v; }
    virtual float getMax() const { return maxValue; }
    virtual void setOldValue(float v) { oldValue = v; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(int32_t newTag) { tag = newTag; }
    virtual int32_t getTag() const { return tag; }
    virtual void beginEdit();
    virtual void endEdit();
    void onMouseEntered() override;
    void onMouseExited() override;
    // The pointer is over the control; an edit (a drag, a wheel step, a click) is under way.
    bool isHovered() const { return hovered; }
    bool isEditing() const { return editing; }
    virtual void setBackOffset(const CPoint& offset) { backOffset = offset; }
    virtual void copyBackOffset() { backOffset = size.topLeft(); }
    virtual void setWheelInc(float v) { wheelIncrement = v; }
    virtual float getWheelInc() const { return wheelIncrement; }
    virtual void bounceValue();
    virtual bool checkDefaultValue(CDrawContext* context, int32_t buttons);

    CControlListener* getListener() const { return listener; }

protected:
    CControlListener* listener;
    int32_t tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    std::atomic<float> value{0.0f};
    float minValue = 0.0f;
    float maxValue = 1.0f;
    float wheelIncrement = 0.1f;
    CPoint backOffset;

private:
    void setAttention(bool& flag, bool state);

    bool hovered = false;
    bool editing = false;
};

} // namespace gui
