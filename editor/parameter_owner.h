// SPDX-License-Identifier: GPL-3.0-or-later
// What the amplifier's panel needs from the plug-in that shows it, whatever its format: the
// parameter values, a user's edit passed on as automation, a file dropped on the panel, and
// (through the frame owner) the brackets around a drag, the idle pass of a drag, the knob mode and
// window sizing. Values are the parameters' own, 0 to 1; a format converts to its units.
#pragma once

#include "editor/parameter_display.h"
#include "gui/cframe_owner.h"

#include <string>

class ParameterOwner : public gui::CFrameOwner {
public:
    virtual float parameterValue(int index) = 0;
    // The user moved a control: the host should record and apply the value.
    virtual void editParameter(int index, float value) = 0;
    // The user dropped a file on the panel: its path in UTF-8. A format that loads files (an
    // impulse response, say) takes it; by default the drop does nothing.
    virtual void fileDropped(const std::string& /*path*/) {}
    // What the name plate says of the cabinet playing; empty: the panel shows the cabinet's name.
    // Asked on the panel's thread.
    virtual std::string cabinetStatus() { return {}; }
    // A knob's value as the host shows it; asked on the panel's thread.
    virtual std::string parameterDisplay(int index) { return knobDisplay(parameterValue(index)); }

protected:
    ~ParameterOwner() = default;
};
