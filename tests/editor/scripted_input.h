// SPDX-License-Identifier: GPL-3.0-or-later
// A live input that tests script: each cursor read moves to the next scripted step, sleeps
// advance a manual clock, and repaints are counted.
#pragma once

#include "gui/portable/live_input.h"

#include <vector>

namespace editor_test {

struct InputStep {
    gui::CPoint cursor;
    int32_t buttons = 0;
};

class ScriptedInput final : public gui::portable::LiveInput {
public:
    ScriptedInput() { gui::portable::setLiveInput(this); }
    ~ScriptedInput() override { gui::portable::setLiveInput(nullptr); }

    // The state at the press, then one step per cursor read; the last step repeats.
    void script(int32_t pressButtons, std::vector<InputStep> steps)
    {
        buttons = pressButtons;
        pending = std::move(steps);
        next = 0;
    }

    gui::CPoint cursorPosition() override
    {
        ++cursorReads;
        if (next < pending.size()) {
            cursor = pending[next].cursor;
            buttons = pending[next].buttons;
            ++next;
        }
        return cursor;
    }
    int32_t buttonState() override { return buttons; }
    uint32_t tickCount() override { return ticks; }
    void sleep(uint32_t milliseconds) override
    {
        sleeps.push_back(milliseconds);
        ticks += milliseconds;
    }
    void dispatchOnePendingRepaint() override { ++repaints; }

    gui::CPoint cursor;
    int32_t buttons = 0;
    uint32_t ticks = 1000;
    std::vector<uint32_t> sleeps;
    int repaints = 0;
    int cursorReads = 0;

private:
    std::vector<InputStep> pending;
    size_t next = 0;
};

} // namespace editor_test
