// SPDX-License-Identifier: GPL-3.0-or-later
// A knob drawn from a vertical film strip: one frame per step, redrawn only when its handle moves.
#pragma once

#include "gui/cknob.h"

namespace gui {

class CAnimKnob : public CKnob {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
              int32_t heightOfOneImage, CBitmap* strip, const CPoint& offset = CPoint());
    // Frame height from the rectangle, frame count from the strip.
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* strip,
              const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    bool isDirty() const override;
    bool isTypeOf(const char* name) const override;

    void setInverseBitmap(bool state) { bInverseBitmap = state; }
    bool getInverseBitmap() const { return bInverseBitmap; }
    int32_t getFrameCount() const { return frameCount; }
    int32_t getFrameHeight() const { return frameHeight; }
    // The strip's vertical source offset that draw uses for the current value.
    int32_t sourceOffsetForValue() const;
    const CPoint& getLastDrawnPoint() const { return lastDrawnPoint; }

private:
    int32_t frameCount;
    int32_t frameHeight;
    bool bInverseBitmap = false;
    CPoint lastDrawnPoint;
};

} // namespace gui
