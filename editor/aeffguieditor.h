// SPDX-License-Identifier: GPL-3.0-or-later
// The VST editor base: holds the frame, throttles idle work, and owns the parameters for a
// panel by passing its edits and their brackets to the host as automation.
#pragma once

#include "editor/parameter_owner.h"
#include "host/aeffeditor.h"

namespace gui {
class CFrame;
}

// AEffEditor comes first, so the editor's address is the object's own (views hand it out).
class AEffGUIEditor : public AEffEditor, public ParameterOwner {
public:
    explicit AEffGUIEditor(AudioEffect* owner);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 val) override;

    // Called by the effect after it stored a parameter, from any thread: draws nothing.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);
    // The panel's parameters are the effect's.
    float parameterValue(int index) override;
    void editParameter(int index, float value) override;
    std::string parameterDisplay(int index) override;

    // The idle pass a modal knob drag runs on every turn of its loop.
    virtual void doIdleStuff();

    gui::CFrame* getFrame() const { return frame; }
    static VstInt32 getKnobMode() { return knobMode; }

protected:
    // The frame's view of its editor.
    void frameIdleStuff() override { doIdleStuff(); }
    void frameBeginEdit(int32_t index) override { beginEdit(index); }
    void frameEndEdit(int32_t index) override { endEdit(index); }
    int32_t frameKnobMode() const override { return knobMode; }
    bool frameRequestSize(int32_t width, int32_t height) override;

    // Shared by every editor of the module; 2 selects linear knob dragging.
    static VstInt32 knobMode;

    ERect rect{};
    uint32_t lastTicks = 0;
    bool inIdleStuff = false;
    gui::CFrame* frame = nullptr;
};
