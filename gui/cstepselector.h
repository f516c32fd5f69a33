// SPDX-License-Identifier: GPL-3.0-or-later
// A choice among a few positions, stepped through with an arrow at each end: a click on the back
// arrow steps back, on the forward arrow forward, anywhere between them forward, from the last
// position round to the first; the wheel steps too. The positions share the range as the segment
// switch's do. It draws only its two arrows, from a strip of three frames (at the first position,
// between, at the last), each the back arrow's cell beside the forward one's: what lies between
// them (a text view, say) is another view's.
#pragma once

#include "gui/csegmentswitch.h"

namespace gui {

class CStepSelector : public CSegmentSwitch {
public:
    // The strip is 2 * arrowWidth wide and three times the control's height.
    CStepSelector(const CRect& size, CControlListener* listener, int32_t tag, int32_t positions, int32_t arrowWidth,
                  CBitmap* strip);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    bool isTypeOf(const char* name) const override;

    CRect backArrowRect() const;
    CRect forwardArrowRect() const;

private:
    int32_t arrowWidth;
};

} // namespace gui
