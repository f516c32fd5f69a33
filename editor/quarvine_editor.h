// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's editor for VST hosts: the panel, shown through the VST editor base.
#pragma once

#include "editor/aeffguieditor.h"
#include "editor/amp_panel.h"

#include <functional>
#include <string>

class QuarvineEditor : public AEffGUIEditor {
public:
    static constexpr int32_t kBackgroundBitmapId = AmpPanel::kBackgroundBitmapId;
    static constexpr int32_t kKnobStripBitmapId = AmpPanel::kKnobStripBitmapId;
    static constexpr int32_t kSwitchStripBitmapId = AmpPanel::kSwitchStripBitmapId;
    static constexpr int kNumKnobs = AmpPanel::kNumKnobs;
    static constexpr int kOversamplingParameter = AmpPanel::kOversamplingParameter;
    static constexpr int kOversamplingPositions = AmpPanel::kOversamplingPositions;
    static constexpr int kCabinetParameter = AmpPanel::kCabinetParameter;
    static constexpr int kNumControls = AmpPanel::kNumControls;

    // What the effect does for the cabinet: say what the name plate shows of it (empty: the
    // cabinet's name), and load a file dropped on the panel.
    struct CabinetHooks {
        std::function<std::string()> status;
        std::function<void(const std::string& path)> load;
    };

    explicit QuarvineEditor(AudioEffect* effect, CabinetHooks cabinet = {});
    ~QuarvineEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void setParameter(VstInt32 index, float value) override;
    void idle() override;
    std::string cabinetStatus() override;
    void fileDropped(const std::string& path) override;
    // The effect's cabinet status changed; any thread.
    void cabinetStatusChanged() { panel.cabinetStatusChanged(); }
    // Whether the open editor shows in a window of the window system, not only in memory (as a
    // parent that names no window leaves it).
    bool showsWindow() const;

    gui::CAnimKnob* getKnob(int index) const { return panel.getKnob(index); }
    gui::CSegmentSwitch* getOversamplingSwitch() const { return panel.getOversamplingSwitch(); }
    static gui::CRect knobRect(int index) { return AmpPanel::knobRect(index); }
    static gui::CRect oversamplingSwitchRect() { return AmpPanel::oversamplingSwitchRect(); }
    gui::CStepSelector* getCabinetSelector() const { return panel.getCabinetSelector(); }
    gui::CTextView* getCabinetText() const { return panel.getCabinetText(); }

private:
    CabinetHooks cabinet;
    AmpPanel panel{*this};
};
