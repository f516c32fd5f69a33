// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/portable/live_input.h"

#include "gui/platform.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace gui::portable {

namespace {

class QuietInput final : public LiveInput {
public:
    CPoint cursorPosition() override { return {}; }
    int32_t buttonState() override { return 0; }
    uint32_t tickCount() override
    {
        const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    }
    void sleep(uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void dispatchOnePendingRepaint() override {}
};

QuietInput quietInput;
std::atomic<LiveInput*> current{nullptr};

} // namespace

void setLiveInput(LiveInput* input)
{
    current.store(input);
}

LiveInput* installedLiveInput()
{
    return current.load();
}

LiveInput& liveInput()
{
    LiveInput* input = current.load();
    return input ? *input : quietInput;
}

} // namespace gui::portable

namespace gui::platform {

uint32_t tickCount() { return portable::liveInput().tickCount(); }
void sleepMilliseconds(uint32_t milliseconds) { portable::liveInput().sleep(milliseconds); }
CPoint cursorScreenPosition() { return portable::liveInput().cursorPosition(); }
int32_t mouseButtonState() { return portable::liveInput().buttonState(); }
void dispatchOnePendingRepaint() { portable::liveInput().dispatchOnePendingRepaint(); }

} // namespace gui::platform
