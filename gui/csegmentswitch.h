// SPDX-License-Identifier: GPL-3.0-or-later
// A row of equal segments, one of them selected, drawn from a vertical film strip with one frame
// per segment. A click picks the segment under the pointer; the wheel steps to a neighbour.
#pragma once

#include "gui/ccontrol.h"

namespace gui {

class CSegmentSwitch : public CControl {
public:
    // The strip holds `segments` frames of the control's height, the first segment's at the top.
    CSegmentSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t segments, CBitmap* strip);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    using CControl::onWheel;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool isTypeOf(const char* name) const override;

    int32_t getSegmentCount() const { return segments; }
    // The segment a value selects: the range cut into equal parts, values beyond it at its ends.
    int32_t segmentForValue(float v) const;
    // The value that selects a segment: its place on the range, first at the minimum, last at the
    // maximum.
    float valueForSegment(int32_t segment) const;
    // The segment under a point in frame coordinates, the nearest end when outside.
    int32_t segmentAt(const CPoint& where) const;

protected:
    // Whether a press counts as a left click; reads the buttons when not given (-1).
    bool isLeftClick(CDrawContext* context, int32_t buttons) const;
    // Selects a segment and tells the listener inside an edit; the selected one changes nothing.
    void select(CDrawContext* context, int32_t segment);

private:
    int32_t segments;
};

} // namespace gui
