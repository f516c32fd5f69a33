// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 X11 UI: the amplifier's panel in the host's parent window. Edits go out through the
// host's write function in the ports' units, and port events move the controls. The host's idle
// calls read the window's events, a knob drag's among them: each call handles what is pending and
// returns, so the host's own windows and port events go on during a drag. The name plate shows the
// file the plug-in tells on its notify port while the Cabinet is at User.
#include "editor/amp_panel.h"
#include "gui/cframe.h"
#include "gui/platform.h"
#include "gui/portable/window_presenter.h"
#include "lv2/port_map.h"
#include "lv2/ui_ir_messages.h"

#include <lv2/ui/ui.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

namespace {

using quarvine::kNumParameters;
namespace ports = quarvine::lv2;

const void* feature(const LV2_Feature* const* features, const char* uri)
{
    for (; features && *features; ++features)
        if (std::strcmp((*features)->URI, uri) == 0)
            return (*features)->data;
    return nullptr;
}

class Lv2Ui final : public ParameterOwner {
public:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
        : write(write), controller(controller),
          touch(static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch))), messages(features)
    {
        for (int i = 0; i < kNumParameters; ++i)
            values[i] = quarvine::kDefaultValues[i];
    }

    ~Lv2Ui()
    {
        // A host that ends the UI during a drag still hears the touch end.
        if (gui::CFrame* frame = panel.getFrame())
            frame->endMouseTracking();
        panel.close();
    }

    AmpPanel panel{*this};

    void portEvent(uint32_t port, float value)
    {
        const int index = ports::parameterOfPort(port);
        if (index == ports::kNoParameter)
            return;
        const float parameter = ports::parameterFromPort(index, value);
        // The knobs show values on their travel, as the VST effect's read-back does.
        if (!std::isfinite(parameter))
            return;
        values[index] = std::fmin(std::fmax(parameter, 0.0f), 1.0f);
        panel.parameterChanged(index);
    }

    void atomEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        if (messages.read(port, size, format, buffer))
            panel.cabinetStatusChanged();
    }

    // As hosts expect of a UI: the plug-in answers on the notify port.
    void askForPath() { messages.askForPath(write, controller); }

    std::string cabinetStatus() override
    {
        return quarvine::cabinetPosition(values[quarvine::kCabinet]) == quarvine::kUserCabinetPosition
                   ? messages.fileName()
                   : std::string();
    }

    float parameterValue(int index) override
    {
        return index >= 0 && index < kNumParameters ? values[index] : 0.0f;
    }

    void editParameter(int index, float value) override
    {
        if (index < 0 || index >= kNumParameters)
            return;
        values[index] = value;
        const float portValue = ports::portFromParameter(index, value);
        write(controller, ports::portOfParameter(index), sizeof portValue, 0, &portValue);
    }

    void idle()
    {
        panel.applyPendingValues();
        if (gui::CFrame* frame = panel.getFrame())
            frame->idle();
    }

protected:
    // A turn of a knob's own drag loop, for a frame whose drags do not follow the idle calls:
    // redraw what it moved, without spinning the processor.
    void frameIdleStuff() override
    {
        idle();
        gui::platform::dispatchOnePendingRepaint();
        gui::platform::sleepMilliseconds(kDragIdleMilliseconds);
    }
    void frameBeginEdit(int32_t index) override
    {
        if (touch && index >= 0 && index < kNumParameters)
            touch->touch(touch->handle, ports::portOfParameter(index), true);
    }
    void frameEndEdit(int32_t index) override
    {
        if (touch && index >= 0 && index < kNumParameters)
            touch->touch(touch->handle, ports::portOfParameter(index), false);
    }
    // Circular dragging, as VST hosts start with.
    int32_t frameKnobMode() const override { return 0; }
    // The host sized the parent from the resize hint already; the panel keeps its size.
    bool frameRequestSize(int32_t, int32_t) override { return false; }

private:
    static constexpr uint32_t kDragIdleMilliseconds = 4;

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    quarvine::lv2::UiImpulseResponseMessages messages;
    float values[kNumParameters];
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (!pluginUri || std::strcmp(pluginUri, ports::kPluginUri) != 0 || !parent || !write || !widget)
        return nullptr;
    auto* ui = new (std::nothrow) Lv2Ui(write, controller, features);
    if (!ui)
        return nullptr;
    // A parent that names no window of the server (a pointer, say) leaves the frame in memory:
    // nothing would show.
    const uintptr_t window = ui->panel.open(parent) ? gui::portable::presenter::nativeWindow(*ui->panel.getFrame()) : 0;
    if (!window) {
        delete ui;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(window);
    if (const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)))
        resize->ui_resize(resize->handle, ui->panel.width(), ui->panel.height());
    ui->askForPath();
    return ui;
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<Lv2Ui*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    // A control port's float in the port's units, or an atom from the notify port.
    if (format != 0) {
        static_cast<Lv2Ui*>(handle)->atomEvent(port, size, format, buffer);
        return;
    }
    if (size != sizeof(float) || !buffer)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    static_cast<Lv2Ui*>(handle)->portEvent(port, value);
}

int idle(LV2UI_Handle handle)
{
    static_cast<Lv2Ui*>(handle)->idle();
    return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri)
{
    return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {ports::kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
