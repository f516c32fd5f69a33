// SPDX-License-Identifier: GPL-3.0-or-later
// What a control tells about itself: value changes, and modifier clicks before it handles them.
#pragma once

#include <cstdint>

namespace gui {

class CControl;
class CDrawContext;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // Non-zero means the listener handled the click and the control does nothing more.
    virtual int32_t controlModifierClicked(CDrawContext* /*context*/, CControl* /*control*/, int32_t /*buttons*/)
    {
        return 0;
    }
    // The control's isHovered() or isEditing() changed.
    virtual void controlAttentionChanged(CControl* /*control*/) {}
};

} // namespace gui
