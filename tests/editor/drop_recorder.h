// SPDX-License-Identifier: GPL-3.0-or-later
// A panel's owner that records the files dropped on the panel; the parameters rest at mid travel.
#pragma once

#include "editor/parameter_owner.h"

#include <string>
#include <vector>

namespace editor_test {

class DropRecorder final : public ParameterOwner {
public:
    float parameterValue(int) override { return 0.5f; }
    void editParameter(int, float) override {}
    void frameIdleStuff() override {}
    void frameBeginEdit(int32_t) override {}
    void frameEndEdit(int32_t) override {}
    int32_t frameKnobMode() const override { return 0; }
    bool frameRequestSize(int32_t, int32_t) override { return false; }
    void fileDropped(const std::string& path) override { dropped.push_back(path); }

    std::vector<std::string> dropped;
};

} // namespace editor_test
