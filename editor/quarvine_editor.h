// The amplifier's editor: the background panel with six film-strip knobs, one per parameter.
#pragma once

#include "editor/aeffguieditor.h"
#include "editor/ccontrollistener.h"
#include "editor/cgeometry.h"

#include <array>
#include <atomic>

namespace gui {
class CAnimKnob;
class CBitmap;
} // namespace gui

class QuarvineEditor : public AEffGUIEditor, public gui::CControlListener {
public:
    static constexpr int32_t kBackgroundBitmapId = 101;
    static constexpr int32_t kKnobStripBitmapId = 102;
    static constexpr int kNumKnobs = 6;

    explicit QuarvineEditor(AudioEffect* effect);
    ~QuarvineEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;

    gui::CAnimKnob* getKnob(int index) const;
    // The knob rectangles in frame coordinates, by parameter index.
    static gui::CRect knobRect(int index);

private:
    // Published to the thread that sets parameters; null while the editor is closed.
    std::array<std::atomic<gui::CAnimKnob*>, kNumKnobs> knobs{};
    gui::CBitmap* background = nullptr;
};
