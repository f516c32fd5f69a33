// SPDX-License-Identifier: GPL-3.0-or-later
// The UI's side of the impulse-response file property: it asks the plug-in for the path with a
// patch:Get on the control port, and reads the file's name from the patch:Set messages the
// plug-in writes to the notify port. Without the host's urid:map there are no messages.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <string>

namespace quarvine::lv2 {

class UiImpulseResponseMessages {
public:
    explicit UiImpulseResponseMessages(const LV2_Feature* const* features);

    // Writes a patch:Get of the impulse response to the control port; nothing without urid:map.
    void askForPath(LV2UI_Write_Function write, LV2UI_Controller controller) const;
    // A port event: true when it told the path, whose file name is then in fileName.
    bool read(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // The part of the last path told after its last '/'; empty before one is.
    const std::string& fileName() const { return name; }

private:
    bool on = false;
    LV2_URID eventTransfer = 0, atomPath = 0, atomUrid = 0, atomObject = 0, patchSet = 0, patchGet = 0,
             patchProperty = 0, patchValue = 0, impulseResponse = 0;
    std::string name;
};

} // namespace quarvine::lv2
