// SPDX-License-Identifier: GPL-3.0-or-later
// What a frame needs from the editor that owns it. The toolkit knows nothing of plug-ins: the
// plug-in's editor implements this to run its idle pass, bracket knob edits towards the host,
// share the module's knob mode and ask the host for a new window size.
#pragma once

#include <cstdint>

namespace gui {

class CFrameOwner {
public:
    virtual void frameIdleStuff() = 0;
    virtual void frameBeginEdit(int32_t index) = 0;
    virtual void frameEndEdit(int32_t index) = 0;
    virtual int32_t frameKnobMode() const = 0;
    // True when the host resized its window to the given size.
    virtual bool frameRequestSize(int32_t width, int32_t height) = 0;

protected:
    ~CFrameOwner() = default;
};

} // namespace gui
