// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 UI loaded as a host loads it, in a real X window on a server of each test's own: clicks on the switch reach the host's
// write function in the port's units (the steps 0 and 2, not the panel's 0 and 1), bracketed by
// touch, and the host's port events move the switch to the step they carry; a knob drag leaves
// the host's idle calls free; a careless host's arguments get NULL; the UI asks for the impulse
// response's path and shows the file's name the notify port tells. (jalv's stage in
// scripts/lv2-hosts.sh shows port events moving the knobs.)
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>

#include "host_features.h"
#include "lilv_plugin.h"
#include "tests/x11/private_x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <string>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// A watchdog thread may release the button on a connection of its own.
const bool threadsReady = XInitThreads() != 0;

constexpr uint32_t kOversamplingPort = 6;

struct Event {
    char kind; // 'w' write, 't' touch on, 'r' touch off
    uint32_t port;
    float value;
};

std::vector<Event> events;

struct AtomWrite {
    uint32_t port, format;
    std::vector<char> bytes;
};

std::vector<AtomWrite> atomWrites;

void writeFunction(LV2UI_Controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (format != 0) {
        const auto* bytes = static_cast<const char*>(buffer);
        atomWrites.push_back({port, format, std::vector<char>(bytes, bytes + size)});
        return;
    }
    float value = -1.0f;
    if (format == 0 && size == sizeof value)
        std::memcpy(&value, buffer, sizeof value);
    events.push_back({'w', port, value});
}

void touchFunction(LV2UI_Feature_Handle, uint32_t port, bool grabbed)
{
    events.push_back({grabbed ? 't' : 'r', port, 0.0f});
}

// The UI from the bundle's module in an X window of the test's own, as a host shows it.
class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (server.name.empty())
            GTEST_SKIP() << "no Xvfb could be started";
        // The UI opens its own connection to the server DISPLAY names.
        const char* oldDisplay = std::getenv("DISPLAY");
        savedDisplay = oldDisplay ? oldDisplay : "";
        ::setenv("DISPLAY", server.name.c_str(), 1);
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << server.name;
        ASSERT_NE(world.plugin(), nullptr);
        const std::string library = std::string(QUARVINE_LV2_BUNDLE) + "/quarvine_ui.so";
        module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_STREQ(descriptor->URI, "urn:orn:quarvine#ui");

        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        parent = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 680, 120, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect, &attributes);
        XMapRaised(display, parent);
        XSync(display, False);
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
        const LV2_Feature touchFeature{LV2_UI__touch, &touch};
        const LV2_Feature mapFeature{LV2_URID__map, host.map()};
        const LV2_Feature* features[] = {&parentFeature, &touchFeature, &mapFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        events.clear();
        atomWrites.clear();
        ui = descriptor->instantiate(descriptor, "urn:orn:quarvine", QUARVINE_LV2_BUNDLE, writeFunction, nullptr,
                                     &widget, features);
        ASSERT_NE(ui, nullptr);
        EXPECT_NE(widget, nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
        // Shown: the panel's window mapped and the switch drawn (not one flat colour), so that a
        // click reaches it and a picture taken now is the panel's.
        ASSERT_TRUE(idleUntil([&] { return panelShown(); })) << "the panel was not shown";
    }

    void TearDown() override
    {
        if (ui)
            descriptor->cleanup(ui);
        if (parent)
            XDestroyWindow(display, parent);
        if (display)
            XCloseDisplay(display);
        if (module)
            dlclose(module);
        if (!server.name.empty())
            savedDisplay.empty() ? ::unsetenv("DISPLAY") : ::setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    // Idles until the condition holds, for at most 20 s of wall time (a loaded machine is slow,
    // a broken build must not hang).
    template <typename Condition>
    bool idleUntil(Condition condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            const auto start = std::chrono::steady_clock::now();
            idle->idle(ui);
            longestIdle = std::max(longestIdle, std::chrono::steady_clock::now() - start);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return condition();
    }

    bool panelShown()
    {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        XWindowAttributes attributes{};
        const bool mapped = XQueryTree(display, parent, &root, &up, &children, &count) && count == 1 &&
                            XGetWindowAttributes(display, children[0], &attributes) &&
                            attributes.map_state == IsViewable;
        if (children)
            XFree(children);
        const std::vector<unsigned long> pixels = switchPixels();
        return mapped && std::any_of(pixels.begin(), pixels.end(), [&](unsigned long p) { return p != pixels[0]; });
    }

    void pointTo(int x, int y)
    {
        int rx = 0, ry = 0;
        Window child = 0;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
        XSync(display, False);
    }

    void clickAt(int x, int y)
    {
        pointTo(x, y);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
    }

    // A click on the middle of the switch's third for `step`, up to the end of its touch.
    bool clickStep(int step)
    {
        events.clear();
        clickAt(kSwitchLeft + kSwitchWidth * (2 * step + 1) / 6, kSwitchMiddle);
        return idleUntil([] { return !events.empty() && events.back().kind == 'r'; });
    }

    // A rectangle of the panel as the screen shows it.
    std::vector<unsigned long> pixels(int left, int top, int width, int height)
    {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(display, parent, left, top, width, height, AllPlanes, ZPixmap);
        if (!image)
            return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(XGetPixel(image, x, y) & 0xffffff);
        XDestroyImage(image);
        return pixels;
    }
    std::vector<unsigned long> switchPixels() { return pixels(kSwitchLeft, kSwitchTop, kSwitchWidth, kSwitchHeight); }
    // The name plate's line of text (editor/amp_panel.cpp): 526..658 x 47..57.
    std::vector<unsigned long> textPixels() { return pixels(526, 47, 132, 10); }

    void sendOversampling(float value)
    {
        descriptor->port_event(ui, kOversamplingPort, sizeof value, 0, &value);
    }

    // The switch's place on the panel (editor/amp_panel.cpp): 547..637 x 76..94.
    static constexpr int kSwitchLeft = 547, kSwitchTop = 76, kSwitchWidth = 90, kSwitchHeight = 18;
    static constexpr int kSwitchMiddle = kSwitchTop + kSwitchHeight / 2;

    void sendCabinet(float position)
    {
        descriptor->port_event(ui, kCabinetPort, sizeof position, 0, &position);
    }

    // The plug-in's patch:Set of the impulse response's path, as the host passes it on.
    void tellPath(const std::string& path)
    {
        lv2test::AtomBuffer buffer;
        buffer.setPath(host, path);
        const LV2_Atom& message = lv2_atom_sequence_begin(&buffer.sequence()->body)->body;
        descriptor->port_event(ui, kNotifyPort, static_cast<uint32_t>(sizeof message + message.size),
                               host.urid(LV2_ATOM__eventTransfer), &message);
    }

    static constexpr uint32_t kCabinetPort = 9, kControlPort = 10, kNotifyPort = 11;

    PrivateXServer server{"800x200x24", true};
    lv2test::HostFeatures host;
    std::string savedDisplay;
    lv2test::BundleWorld world;
    Display* display = nullptr;
    void* module = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    Window parent = 0;
    LV2UI_Touch touch{nullptr, touchFunction};
    LV2UI_Handle ui = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    std::chrono::steady_clock::duration longestIdle{};
};

TEST_F(Lv2Ui, TheSwitchWritesItsStepsInPortUnitsWithinATouch)
{
    // The right-hand third: 8x, step 2 of the port.
    ASSERT_TRUE(clickStep(2));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, 't');
    EXPECT_EQ(events[1].kind, 'w');
    EXPECT_EQ(events[1].value, 2.0f);
    for (const Event& event : events)
        EXPECT_EQ(event.port, kOversamplingPort);

    // A host's port event on the way must not disturb the next edit: 2x writes step 0.
    sendOversampling(1.0f);
    ASSERT_TRUE(clickStep(0));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].value, 0.0f);
}

TEST_F(Lv2Ui, EachOversamplingStepFromTheHostShowsItsPositionOnTheSwitch)
{
    // What each position looks like, set by a click on it (from 2x at the start).
    std::vector<unsigned long> shown[3];
    std::vector<unsigned long> before = switchPixels();
    for (int step : {2, 1, 0}) {
        ASSERT_TRUE(clickStep(step));
        ASSERT_TRUE(idleUntil([&] { return switchPixels() != before; })) << "step " << step << " not drawn";
        shown[step] = before = switchPixels();
    }
    ASSERT_NE(shown[0], shown[2]);

    // The steps, then values between and beyond them: the nearest step, the range's ends. No two
    // in a row show the same step, so a picture left from one value cannot pass for the next.
    const std::pair<float, int> sent[] = {{2.0f, 2}, {0.0f, 0}, {1.0f, 1}, {2.6f, 2}, {-3.0f, 0}, {0.6f, 1}};
    for (auto [value, step] : sent) {
        sendOversampling(value);
        EXPECT_TRUE(idleUntil([&] { return switchPixels() == shown[step]; }))
            << "port value " << value << " should show step " << step;
    }
}

} // namespace

namespace {

// The last value written to a port; NaN when none was.
float lastWrite(uint32_t port)
{
    float value = std::nanf("");
    for (const Event& event : events)
        if (event.kind == 'w' && event.port == port)
            value = event.value;
    return value;
}

TEST_F(Lv2Ui, AKnobDragGoesOnAcrossIdleCallsThatReturnWhileTheButtonIsHeld)
{
    ASSERT_TRUE(threadsReady);
    // Should idle() wait for the release, a watchdog lets go of the button after 10 s.
    std::jthread watchdog([name = server.name](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, std::chrono::seconds(10), [] { return false; });
        Display* d = stop.stop_requested() ? nullptr : XOpenDisplay(name.c_str());
        if (d) {
            XTestFakeButtonEvent(d, 1, False, CurrentTime);
            XCloseDisplay(d);
        }
    });

    // Drive, port 1: the knob at 106..156 x 26..76, its centre (131, 51). Circular dragging: the
    // sweep runs 270 degrees clockwise from 225 degrees, so straight above the centre is 0.5,
    // up and right at 45 degrees 2/3, straight right 5/6.
    constexpr uint32_t kDrivePort = 1;
    events.clear();
    pointTo(131, 30);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    const std::pair<std::pair<int, int>, float> path[] = {{{131, 30}, 0.5f}, {{146, 36}, 2.0f / 3.0f}, {{152, 51}, 5.0f / 6.0f}};
    for (const auto& [point, value] : path) {
        pointTo(point.first, point.second);
        EXPECT_TRUE(idleUntil([&] { return std::fabs(lastWrite(kDrivePort) - value) < 1e-3f; }))
            << "at (" << point.first << ", " << point.second << ") the knob should be at " << value;
    }
    // The host's port event during the hold reaches the screen.
    const std::vector<unsigned long> switchBefore = switchPixels();
    sendOversampling(2.0f);
    EXPECT_TRUE(idleUntil([&] { return switchPixels() != switchBefore; }));
    EXPECT_LT(longestIdle, std::chrono::seconds(1));
    ASSERT_FALSE(events.empty());
    EXPECT_NE(events.back().kind, 'r') << "the edit ended before the release";

    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(idleUntil([] { return !events.empty() && events.back().kind == 'r'; }));
    EXPECT_EQ(events.front().kind, 't');
    int touches = 0;
    for (const Event& event : events) {
        EXPECT_EQ(event.port, kDrivePort);
        touches += event.kind != 'w';
    }
    EXPECT_EQ(touches, 2);
    EXPECT_NEAR(lastWrite(kDrivePort), 5.0f / 6.0f, 1e-3f);

    // A host that ends the UI during a drag still hears the touch end.
    events.clear();
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(idleUntil([] { return !events.empty() && events.front().kind == 't'; }));
    descriptor->cleanup(std::exchange(ui, nullptr));
    EXPECT_EQ(events.back().kind, 'r');
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
}

TEST_F(Lv2Ui, AHostsNullArgumentsOrAPointerForTheParentGetNull)
{
    EXPECT_EQ(descriptor->extension_data(nullptr), nullptr);
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
    const LV2_Feature* features[] = {&parentFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(descriptor->instantiate(descriptor, nullptr, QUARVINE_LV2_BUNDLE, writeFunction, nullptr, &widget,
                                      features),
              nullptr);
    EXPECT_EQ(descriptor->instantiate(descriptor, "urn:orn:quarvine", QUARVINE_LV2_BUNDLE, writeFunction, nullptr,
                                      nullptr, features),
              nullptr);
    // An address where the window id belongs: above the ids' 29 bits, no window to show in.
    int standIn = 0;
    const LV2_Feature pointerFeature{LV2_UI__parent, &standIn};
    const LV2_Feature* pointerFeatures[] = {&pointerFeature, nullptr};
    ASSERT_GT(reinterpret_cast<uintptr_t>(&standIn), uintptr_t{0x1fffffff});
    EXPECT_EQ(descriptor->instantiate(descriptor, "urn:orn:quarvine", QUARVINE_LV2_BUNDLE, writeFunction, nullptr,
                                      &widget, pointerFeatures),
              nullptr);
    EXPECT_EQ(widget, nullptr);

    // Without urid:map: a UI all the same, which asks the plug-in nothing.
    atomWrites.clear();
    LV2UI_Handle plain = descriptor->instantiate(descriptor, "urn:orn:quarvine", QUARVINE_LV2_BUNDLE, writeFunction,
                                                 nullptr, &widget, features);
    EXPECT_NE(plain, nullptr);
    EXPECT_TRUE(atomWrites.empty());
    if (plain)
        descriptor->cleanup(plain);
}

TEST_F(Lv2Ui, AsksForThePathAtStartAndShowsTheToldFileNameAtUserOnly)
{
    // One patch:Get of the impulse response, on the control port.
    ASSERT_EQ(atomWrites.size(), 1u);
    const AtomWrite& get = atomWrites[0];
    EXPECT_EQ(get.port, kControlPort);
    EXPECT_EQ(get.format, host.urid(LV2_ATOM__eventTransfer));
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(get.bytes.data());
    ASSERT_GE(get.bytes.size(), sizeof(LV2_Atom_Object));
    ASSERT_EQ(get.bytes.size(), sizeof(LV2_Atom) + object->atom.size);
    EXPECT_EQ(object->atom.type, host.urid(LV2_ATOM__Object));
    EXPECT_EQ(object->body.otype, host.urid(LV2_PATCH__Get));
    const LV2_Atom* property = nullptr;
    lv2_atom_object_get(object, host.urid(LV2_PATCH__property), &property, 0);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(property->type, host.urid(LV2_ATOM__URID));
    EXPECT_EQ(reinterpret_cast<const LV2_Atom_URID*>(property)->body, host.urid("urn:orn:quarvine#impulse_response"));

    // From no cabinet (the default) to User, which shows its own name until a path is told.
    const std::vector<unsigned long> none = textPixels();
    sendCabinet(5.0f);
    ASSERT_TRUE(idleUntil([&] { return textPixels() != none; }));
    const std::vector<unsigned long> user = textPixels();
    tellPath("/tmp/cabinets/room.wav");
    ASSERT_TRUE(idleUntil([&] { return textPixels() != user; })) << "the file's name is not shown";
    const std::vector<unsigned long> named = textPixels();
    // A built-in cabinet shows its own name.
    sendCabinet(1.0f);
    EXPECT_TRUE(idleUntil([&] { return textPixels() != named; })) << "the file's name shown for a built-in cabinet";
    // The same name told without a folder, then back at User: the same picture, so no folder showed.
    tellPath("room.wav");
    sendCabinet(5.0f);
    EXPECT_TRUE(idleUntil([&] { return textPixels() == named; })) << "the path's folder is shown";
}

} // namespace
