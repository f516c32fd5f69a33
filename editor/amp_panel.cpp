// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/amp_panel.h"

#include "gui/canimknob.h"
#include "gui/cbitmap.h"
#include "gui/cdragcontainer.h"
#include "gui/cframe.h"
#include "gui/csegmentswitch.h"

namespace {

// The panel's knob positions; the steps between them are 80 and 81 pixels.
constexpr gui::CRect kKnobRects[AmpPanel::kNumKnobs] = {
    {26, 26, 76, 76},   {106, 26, 156, 76}, {187, 26, 237, 76},
    {267, 26, 317, 76}, {348, 26, 398, 76}, {428, 26, 478, 76},
};

// In the name plate, under the title; the strip draws it at this place (resources/draw_bitmaps.py).
constexpr gui::CRect kOversamplingSwitchRect{547, 76, 637, 94};

constexpr int32_t kStripFrames = 256;
constexpr int32_t kStripFrameHeight = 50;

// The panel's frame takes a file dropped anywhere on it, over a control too: the drag never
// reaches the views inside. Several files give the first.
class PanelFrame final : public gui::CFrame {
public:
    PanelFrame(const gui::CRect& size, void* parentWindow, ParameterOwner& owner)
        : CFrame(size, parentWindow, &owner), owner(owner)
    {
    }

    void onDragEnter(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override { answer(drag); }
    void onDragMove(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override { answer(drag); }
    void onDragLeave(gui::CDrawContext*, gui::CDragContainer*, const gui::CPoint&) override {}
    bool onDrop(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override
    {
        if (!drag || drag->filePaths().empty())
            return false;
        owner.fileDropped(drag->filePaths().front());
        return true;
    }

private:
    static void answer(gui::CDragContainer* drag)
    {
        if (drag)
            drag->setAccepted(drag->offersFiles());
    }

    ParameterOwner& owner;
};

} // namespace

AmpPanel::AmpPanel(ParameterOwner& owner) : owner(owner), background(new gui::CBitmap(kBackgroundBitmapId)) {}

AmpPanel::~AmpPanel()
{
    // A frame still open would keep controls whose listener is this panel.
    close();
    background->forget();
}

int32_t AmpPanel::width() const
{
    return background->getWidth();
}

int32_t AmpPanel::height() const
{
    return background->getHeight();
}

gui::CRect AmpPanel::knobRect(int index)
{
    return kKnobRects[index];
}

gui::CRect AmpPanel::oversamplingSwitchRect()
{
    return kOversamplingSwitchRect;
}

bool AmpPanel::open(void* parentWindow)
{
    // Opening twice must not strand the first frame and its controls.
    close();
    guiThread.store(std::this_thread::get_id(), std::memory_order_release);
    pendingValues.store(0, std::memory_order_relaxed);
    auto* strip = new gui::CBitmap(kKnobStripBitmapId);
    auto* newFrame = new PanelFrame(gui::CRect(0, 0, width(), height()), parentWindow, owner);
    newFrame->setBackground(background);
    for (int i = 0; i < kNumKnobs; ++i) {
        gui::CAnimKnob* knob =
            i == 0 ? new gui::CAnimKnob(kKnobRects[i], this, i, kStripFrames, kStripFrameHeight, strip)
                   : new gui::CAnimKnob(kKnobRects[i], this, i, strip);
        knob->setInsetValue(0);
        knob->setInverseBitmap(false);
        knob->setValue(owner.parameterValue(i));
        newFrame->addView(knob);
        controls[i].store(knob, std::memory_order_release);
    }
    strip->forget();
    auto* switchStrip = new gui::CBitmap(kSwitchStripBitmapId);
    auto* oversampling = new gui::CSegmentSwitch(kOversamplingSwitchRect, this, kOversamplingParameter,
                                                 kOversamplingPositions, switchStrip);
    switchStrip->forget();
    oversampling->setValue(owner.parameterValue(kOversamplingParameter));
    newFrame->addView(oversampling);
    controls[kOversamplingParameter].store(oversampling, std::memory_order_release);
    frame = newFrame;
    // A host's window was given but ours could not be made in it (no display, say).
    if (parentWindow && !newFrame->getSystemWindow()) {
        close();
        return false;
    }
    return true;
}

void AmpPanel::close()
{
    for (auto& control : controls)
        control.store(nullptr, std::memory_order_release);
    if (frame) {
        gui::CFrame* old = frame;
        frame = nullptr;
        old->forget();
    }
}

void AmpPanel::parameterChanged(int index)
{
    if (static_cast<unsigned>(index) >= kNumControls)
        return;
    if (std::this_thread::get_id() != guiThread.load(std::memory_order_acquire)) {
        // Lock-free and allocation-free: hosts call this from their audio thread too.
        pendingValues.fetch_or(1u << index, std::memory_order_release);
        return;
    }
    if (gui::CControl* control = controls[index].load(std::memory_order_acquire))
        control->setValue(owner.parameterValue(index));
}

void AmpPanel::applyPendingValues()
{
    uint32_t pending = pendingValues.exchange(0, std::memory_order_acquire);
    for (int i = 0; pending != 0 && i < kNumControls; ++i, pending >>= 1) {
        if (!(pending & 1u))
            continue;
        if (gui::CControl* control = controls[i].load(std::memory_order_acquire))
            control->setValue(owner.parameterValue(i));
    }
}

void AmpPanel::valueChanged(gui::CDrawContext*, gui::CControl* control)
{
    owner.editParameter(control->getTag(), control->getValue());
    control->setDirty(true);
}

gui::CAnimKnob* AmpPanel::getKnob(int index) const
{
    if (index < 0 || index >= kNumKnobs)
        return nullptr;
    return static_cast<gui::CAnimKnob*>(controls[index].load(std::memory_order_acquire));
}

gui::CSegmentSwitch* AmpPanel::getOversamplingSwitch() const
{
    return static_cast<gui::CSegmentSwitch*>(controls[kOversamplingParameter].load(std::memory_order_acquire));
}
