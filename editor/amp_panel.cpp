// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/amp_panel.h"

#include "gui/canimknob.h"
#include "gui/cbitmap.h"
#include "gui/cdragcontainer.h"
#include "gui/cframe.h"
#include "gui/csegmentswitch.h"
#include "gui/cstepselector.h"
#include "gui/ctextview.h"

namespace {

// The panel's knob positions; the steps between them are 80 and 81 pixels.
constexpr gui::CRect kKnobRects[AmpPanel::kNumKnobs] = {
    {26, 26, 76, 76},   {106, 26, 156, 76}, {187, 26, 237, 76},
    {267, 26, 317, 76}, {348, 26, 398, 76}, {428, 26, 478, 76},
};

// In the name plate, under the title; the strip draws it at this place (resources/draw_bitmaps.py).
constexpr gui::CRect kOversamplingSwitchRect{547, 76, 637, 94};

// Under the title, the selector's arrows 12 pixels wide at its ends and its display between them
// (resources/draw_bitmaps.py draws them at these places).
constexpr gui::CRect kCabinetSelectorRect{514, 45, 670, 59};
constexpr int32_t kArrowWidth = 12;
constexpr gui::CRect kCabinetTextRect{kCabinetSelectorRect.left + kArrowWidth, 47,
                                      kCabinetSelectorRect.right - kArrowWidth, 57};

// The panel's own copy: the editor shows these whatever the effect calls them.
constexpr const char* kCabinetNames[AmpPanel::kCabinetPositions] = {
    "Off", "1x10 open back", "1x12 open back", "4x12 closed back", "4x12 closed back, off axis", "User IR"};

// The names the line of text gives the knobs and the switch, by parameter index.
constexpr const char* kReadoutNames[AmpPanel::kOversamplingParameter + 1] = {
    "Master", "Drive", "Treble", "Middle", "Bass", "Volume", "Oversampling"};

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

gui::CRect AmpPanel::cabinetSelectorRect()
{
    return kCabinetSelectorRect;
}

gui::CRect AmpPanel::cabinetTextRect()
{
    return kCabinetTextRect;
}

const char* AmpPanel::cabinetName(int position)
{
    return position >= 0 && position < kCabinetPositions ? kCabinetNames[position] : "";
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
    // The text first, so that the selector above it takes the clicks and the wheel on its display.
    auto* font = new gui::CBitmap(kFontBitmapId);
    cabinetText = new gui::CTextView(kCabinetTextRect, font, kGlyphWidth);
    font->forget();
    newFrame->addView(cabinetText);
    auto* selectorStrip = new gui::CBitmap(kSelectorStripBitmapId);
    auto* cabinet = new gui::CStepSelector(kCabinetSelectorRect, this, kCabinetParameter, kCabinetPositions,
                                           kArrowWidth, selectorStrip);
    selectorStrip->forget();
    cabinet->setValue(owner.parameterValue(kCabinetParameter));
    newFrame->addView(cabinet);
    controls[kCabinetParameter].store(cabinet, std::memory_order_release);
    frame = newFrame;
    showPlate();
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
    cabinetText = nullptr;
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
    // A host's value shows only on the control turned or pointed at.
    if (index == kCabinetParameter || index == attendedParameter())
        showPlate();
}

void AmpPanel::cabinetStatusChanged()
{
    if (std::this_thread::get_id() != guiThread.load(std::memory_order_acquire)) {
        pendingValues.fetch_or(kStatusPending, std::memory_order_release);
        return;
    }
    showPlate();
}

void AmpPanel::applyPendingValues()
{
    const uint32_t changed = pendingValues.exchange(0, std::memory_order_acquire);
    uint32_t pending = changed;
    for (int i = 0; pending != 0 && i < kNumControls; ++i, pending >>= 1) {
        if (!(pending & 1u))
            continue;
        if (gui::CControl* control = controls[i].load(std::memory_order_acquire))
            control->setValue(owner.parameterValue(i));
    }
    const int attended = attendedParameter();
    if ((changed & (kStatusPending | (1u << kCabinetParameter))) || (attended >= 0 && (changed & (1u << attended))))
        showPlate();
}

void AmpPanel::showPlate()
{
    const int index = attendedParameter();
    if (index < 0) {
        showCabinet();
    } else if (cabinetText) {
        cabinetText->setText(std::string(kReadoutNames[index]) + " " + valueText(index));
    }
}

std::string AmpPanel::valueText(int index)
{
    if (index != kOversamplingParameter)
        return owner.parameterDisplay(index);
    // The switch reads as its factor, 2 << position.
    const gui::CSegmentSwitch* oversampling = getOversamplingSwitch();
    return std::to_string(2 << oversampling->segmentForValue(oversampling->getValue())) + "x";
}

int AmpPanel::attendedParameter() const
{
    int hovered = -1;
    for (int i = 0; i <= kOversamplingParameter; ++i) {
        const gui::CControl* control = controls[i].load(std::memory_order_acquire);
        // A drag may pass over another control: the edited one wins.
        if (control && control->isEditing())
            return i;
        if (control && control->isHovered())
            hovered = i;
    }
    return hovered;
}

void AmpPanel::showCabinet()
{
    gui::CControl* selector = controls[kCabinetParameter].load(std::memory_order_acquire);
    if (!cabinetText || !selector)
        return;
    const std::string status = owner.cabinetStatus();
    const int position = static_cast<gui::CStepSelector*>(selector)->segmentForValue(selector->getValue());
    cabinetText->setText(status.empty() ? cabinetName(position) : status);
}

void AmpPanel::valueChanged(gui::CDrawContext*, gui::CControl* control)
{
    owner.editParameter(control->getTag(), control->getValue());
    control->setDirty(true);
    showPlate();
}

void AmpPanel::controlAttentionChanged(gui::CControl*)
{
    showPlate();
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

gui::CStepSelector* AmpPanel::getCabinetSelector() const
{
    return static_cast<gui::CStepSelector*>(controls[kCabinetParameter].load(std::memory_order_acquire));
}
