// The amplifier's editor: the background panel with six film-strip knobs and the oversampling
// switch in the name plate, one control per parameter.
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
class CControl;
class CSegmentSwitch;
} // namespace gui

class QuarvineEditor : public AEffGUIEditor, public gui::CControlListener {
public:
    static constexpr int32_t kBackgroundBitmapId = 101;
    static constexpr int32_t kKnobStripBitmapId = 102;
    static constexpr int32_t kSwitchStripBitmapId = 103;
    static constexpr int kNumKnobs = 6;
    // The parameter after the knobs' six: 2x, 4x and 8x at 0, 0.5 and 1.
    static constexpr int kOversamplingParameter = kNumKnobs;
    static constexpr int kOversamplingPositions = 3;
    static constexpr int kNumControls = kNumKnobs + 1;

    explicit QuarvineEditor(AudioEffect* effect);
    ~QuarvineEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void setParameter(VstInt32 index, float value) override;
    void idle() override;
    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;

    gui::CAnimKnob* getKnob(int index) const;
    gui::CSegmentSwitch* getOversamplingSwitch() const;
    // The knob rectangles in frame coordinates, by parameter index.
    static gui::CRect knobRect(int index);
    // The switch's rectangle in frame coordinates, in the name plate.
    static gui::CRect oversamplingSwitchRect();

private:
    // Hands parameter changes made on other threads to the editor's own thread.
    void applyPendingValues();

    // By parameter index: the knobs, then the switch.
    std::array<std::atomic<gui::CControl*>, kNumControls> controls{};
    // The thread that opened the editor owns its views; others may not touch a control, which that
    // thread can destroy at any moment. They leave a bit per parameter for its next idle pass.
    // Atomic because the audio thread reads it while open() may be writing it.
    std::atomic<std::thread::id> guiThread{};
    static_assert(std::atomic<std::thread::id>::is_always_lock_free, "the audio thread may not lock");
    std::atomic<uint32_t> pendingValues{0};
    gui::CBitmap* background = nullptr;
};
