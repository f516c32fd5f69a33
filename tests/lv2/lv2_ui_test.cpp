// The LV2 UI loaded as a host loads it, in a real X window: clicks on the switch reach the host's
// write function in the port's units (the steps 0 and 2, not the panel's 0 and 1), bracketed by
// touch. (jalv's stage in scripts/lv2-hosts.sh shows port events moving the knobs.)
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>

#include "lilv_plugin.h"

#include "../x11/display_turn.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kOversamplingPort = 6;

struct Event {
    char kind; // 'w' write, 't' touch on, 'r' touch off
    uint32_t port;
    float value;
};

std::vector<Event> events;

void writeFunction(LV2UI_Controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    float value = -1.0f;
    if (format == 0 && size == sizeof value)
        std::memcpy(&value, buffer, sizeof value);
    events.push_back({'w', port, value});
}

void touchFunction(LV2UI_Feature_Handle, uint32_t port, bool grabbed)
{
    events.push_back({grabbed ? 't' : 'r', port, 0.0f});
}

TEST(Lv2Ui, TheSwitchWritesItsStepsInPortUnitsWithinATouch)
{
    x11_test::DisplayTurn turn;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        GTEST_SKIP() << "no X display reachable";
    lv2test::BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    const std::string library = std::string(QUARVINE_LV2_BUNDLE) + "/quarvine_ui.so";
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    const LV2UI_Descriptor* descriptor = entry(0);
    ASSERT_STREQ(descriptor->URI, "urn:orn:quarvine#ui");

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window parent = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 680, 120, 0, CopyFromParent,
                                        InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    XMapRaised(display, parent);
    XSync(display, False);
    LV2UI_Touch touch{nullptr, touchFunction};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
    const LV2_Feature touchFeature{LV2_UI__touch, &touch};
    const LV2_Feature* features[] = {&parentFeature, &touchFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    events.clear();
    LV2UI_Handle ui = descriptor->instantiate(descriptor, "urn:orn:quarvine", QUARVINE_LV2_BUNDLE, writeFunction,
                                              nullptr, &widget, features);
    ASSERT_NE(ui, nullptr);
    EXPECT_NE(widget, nullptr);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);
    auto idleUntil = [&](auto condition) {
        for (int i = 0; i < 400 && !condition(); ++i) {
            idle->idle(ui);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return condition();
    };
    auto clickAt = [&](int x, int y) {
        int rx = 0, ry = 0;
        Window child = 0;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
    };
    idleUntil([] { return false; }); // shown and exposed

    // The middle of the switch's right-hand third (547..637 x 76..94): 8x, step 2 of the port.
    clickAt(547 + 90 * 5 / 6, 85);
    ASSERT_TRUE(idleUntil([] { return !events.empty() && events.back().kind == 'r'; }));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, 't');
    EXPECT_EQ(events[1].kind, 'w');
    EXPECT_EQ(events[1].value, 2.0f);
    for (const Event& event : events)
        EXPECT_EQ(event.port, kOversamplingPort);

    // A host's port event on the way must not disturb the next edit: 2x writes step 0.
    const float fourTimes = 1.0f;
    descriptor->port_event(ui, kOversamplingPort, sizeof fourTimes, 0, &fourTimes);
    events.clear();
    clickAt(547 + 90 / 6, 85);
    ASSERT_TRUE(idleUntil([] { return !events.empty() && events.back().kind == 'r'; }));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].value, 0.0f);

    descriptor->cleanup(ui);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    dlclose(module);
}

} // namespace
