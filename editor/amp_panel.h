// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's panel: the background with six film-strip knobs, and in the name plate the
// cabinet selector with its line of text and the oversampling switch, one control per parameter. It
// knows no plug-in format: it reads and edits the parameters through its owner, which each format's
// editor provides. While a knob or the switch is dragged, wheeled or under the pointer, the line of
// text shows its name and value ("Drive 7.350"); otherwise the cabinet.
#pragma once

#include "editor/parameter_owner.h"
#include "gui/ccontrollistener.h"
#include "gui/cgeometry.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace gui {
class CAnimKnob;
class CBitmap;
class CControl;
class CFrame;
class CSegmentSwitch;
class CStepSelector;
class CTextView;
} // namespace gui

class AmpPanel : public gui::CControlListener {
public:
    static constexpr int32_t kBackgroundBitmapId = 101;
    static constexpr int32_t kKnobStripBitmapId = 102;
    static constexpr int32_t kSwitchStripBitmapId = 103;
    static constexpr int32_t kFontBitmapId = 104;
    static constexpr int32_t kSelectorStripBitmapId = 105;
    static constexpr int32_t kGlyphWidth = 5;
    static constexpr int kNumKnobs = 6;
    // The parameter after the knobs' six: 2x, 4x and 8x at 0, 0.5 and 1.
    static constexpr int kOversamplingParameter = kNumKnobs;
    static constexpr int kOversamplingPositions = 3;
    // Off, four built-in cabinets and the player's own response, at position / 5.
    static constexpr int kCabinetParameter = kOversamplingParameter + 1;
    static constexpr int kCabinetPositions = 6;
    static constexpr int kNumControls = kCabinetParameter + 1;

    explicit AmpPanel(ParameterOwner& owner);
    ~AmpPanel();
    AmpPanel(const AmpPanel&) = delete;
    AmpPanel& operator=(const AmpPanel&) = delete;

    int32_t width() const;
    int32_t height() const;

    // Builds the frame and its controls in the parent window, on the thread that will own them.
    // False, with nothing left open, when a parent was given but no window could be made in it.
    bool open(void* parentWindow);
    void close();
    gui::CFrame* getFrame() const { return frame; }

    // The owner's value of a parameter changed; any thread, draws nothing off the panel's own.
    void parameterChanged(int index);
    // The owner's cabinetStatus() changed; any thread, as parameterChanged.
    void cabinetStatusChanged();
    // On the panel's thread: shows the values and the status changed elsewhere since the last call.
    void applyPendingValues();

    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;
    void controlAttentionChanged(gui::CControl* control) override;

    gui::CAnimKnob* getKnob(int index) const;
    gui::CSegmentSwitch* getOversamplingSwitch() const;
    gui::CStepSelector* getCabinetSelector() const;
    // The name plate's line of text: the value being turned or pointed at, else the owner's cabinet
    // status, else the cabinet's name.
    gui::CTextView* getCabinetText() const { return cabinetText; }
    // The panel's name of a cabinet position, as the line of text shows it.
    static const char* cabinetName(int position);
    // The knob rectangles in frame coordinates, by parameter index.
    static gui::CRect knobRect(int index);
    // The switch's rectangle in frame coordinates, in the name plate.
    static gui::CRect oversamplingSwitchRect();
    // The selector from arrow to arrow, and its display between them where the text is.
    static gui::CRect cabinetSelectorRect();
    static gui::CRect cabinetTextRect();

private:
    // On the panel's thread: the line of text for what is turned or pointed at, else the cabinet.
    void showPlate();
    // The status, or the name of the position the selector shows.
    void showCabinet();
    // What the line of text says of a knob's or the switch's value.
    std::string valueText(int index);
    // The knob or the switch being edited, else the one under the pointer; -1 for none.
    int attendedParameter() const;

    ParameterOwner& owner;
    // By parameter index: the knobs, the switch, the selector.
    std::array<std::atomic<gui::CControl*>, kNumControls> controls{};
    // The thread that opened the panel owns its views; others may not touch a control, which that
    // thread can destroy at any moment. They leave a bit per parameter for its next idle pass.
    // Atomic because the audio thread reads it while open() may be writing it.
    std::atomic<std::thread::id> guiThread{};
    static_assert(std::atomic<std::thread::id>::is_always_lock_free, "the audio thread may not lock");
    std::atomic<uint32_t> pendingValues{0};
    // Beside the parameters' bits: the status changed.
    static constexpr uint32_t kStatusPending = 1u << kNumControls;
    // Made, shown and let go on the panel's thread only.
    gui::CTextView* cabinetText = nullptr;
    gui::CBitmap* background = nullptr;
    gui::CFrame* frame = nullptr;
};
