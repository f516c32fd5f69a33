// The amplifier's editor: the background panel with six film-strip knobs, one per parameter.
#pragma once

#include "editor/aeffguieditor.h"
#include "gui/ccontrollistener.h"
#include "gui/cgeometry.h"

#include <array>
#include <atomic>
#include <thread>

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
    void idle() override;
    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;

    gui::CAnimKnob* getKnob(int index) const;
    // The knob rectangles in frame coordinates, by parameter index.
    static gui::CRect knobRect(int index);

private:
    // Hands parameter changes made on other threads to the editor's own thread.
    void applyPendingKnobValues();

    std::array<std::atomic<gui::CAnimKnob*>, kNumKnobs> knobs{};
    // The thread that opened the editor owns its views; others may not touch a knob, which that
    // thread can destroy at any moment. They leave a bit per parameter for its next idle pass.
    // Atomic because the audio thread reads it while open() may be writing it.
    std::atomic<std::thread::id> guiThread{};
    static_assert(std::atomic<std::thread::id>::is_always_lock_free, "the audio thread may not lock");
    std::atomic<uint32_t> pendingKnobValues{0};
    gui::CBitmap* background = nullptr;
};
