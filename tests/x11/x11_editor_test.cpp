// SPDX-License-Identifier: GPL-3.0-or-later
// The editor of the loaded module inside a real X window: what the screen shows, a knob drag,
// wheel turns and a click on the oversampling switch injected with XTest, the name plate while the
// pointer is over the switch, a host that has no display or destroys its window first, and
// repeated opening. Every test that needs a display skips without one; run under Xvfb.
#include "display_turn.h"
#include "private_x_server.h"
#include "tools/vsthost/vst_host.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "window_pixels.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The helper thread drives XTest on a connection of its own while the main thread sits in the
// plug-in's drag loop.
const bool threadsReady = XInitThreads() != 0;

constexpr int kWidth = 680;
constexpr int kHeight = 120;
constexpr int kKnobLefts[6] = {26, 106, 187, 267, 348, 428};
constexpr int kKnobTop = 26;
constexpr int kKnobSize = 50;
// The oversampling switch in the name plate: three segments, 2x 4x 8x, one strip frame each.
constexpr int kSwitchLeft = 547;
constexpr int kSwitchTop = 76;
constexpr int kSwitchWidth = 90;
constexpr int kSwitchHeight = 18;
constexpr VstInt32 kOversampling = 6;

// ---- Reference pictures, read here without the plug-in's decoder ------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb; // top row first
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

uint32_t readLe(const std::vector<unsigned char>& d, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | d[at + i];
    return v;
}

// Uncompressed bottom-up BMP, 8-bit with palette or 24-bit.
Picture readBmp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Picture p;
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M')
        return p;
    const uint32_t dataOffset = readLe(d, 10, 4);
    const uint32_t headerSize = readLe(d, 14, 4);
    p.width = static_cast<int>(readLe(d, 18, 4));
    p.height = static_cast<int>(readLe(d, 22, 4));
    const int bits = static_cast<int>(readLe(d, 28, 2));
    const size_t stride = (static_cast<size_t>(p.width) * bits / 8 + 3) & ~size_t{3};
    p.rgb.resize(static_cast<size_t>(p.width) * p.height);
    const size_t palette = 14 + headerSize;
    for (int y = 0; y < p.height; ++y) {
        const size_t row = dataOffset + static_cast<size_t>(p.height - 1 - y) * stride;
        for (int x = 0; x < p.width; ++x) {
            size_t bgr = bits == 24 ? row + static_cast<size_t>(x) * 3 : palette + size_t{4} * d[row + x];
            p.rgb[static_cast<size_t>(y) * p.width + x] = (uint32_t(d[bgr + 2]) << 16) | (uint32_t(d[bgr + 1]) << 8) | d[bgr];
        }
    }
    return p;
}

const Picture& knobStrip()
{
    static const Picture strip = readBmp(QUARVINE_SOURCE_DIR "/resources/knob_strip.bmp");
    return strip;
}

const Picture& switchStrip()
{
    static const Picture strip = readBmp(QUARVINE_SOURCE_DIR "/resources/switch_strip.bmp");
    return strip;
}

// Which switch frame the screen shows; -1 when none.
int shownSwitchPosition(const Picture& screen)
{
    for (int position = 0; position < 3; ++position) {
        bool same = true;
        for (int y = 0; y < kSwitchHeight && same; ++y)
            for (int x = 0; x < kSwitchWidth && same; ++x)
                same = screen.at(kSwitchLeft + x, kSwitchTop + y) ==
                       switchStrip().at(x, position * kSwitchHeight + y);
        if (same)
            return position;
    }
    return -1;
}

const Picture& background()
{
    static const Picture panel = readBmp(QUARVINE_SOURCE_DIR "/resources/background.bmp");
    return panel;
}

// 256 frames of 50 rows; a value v shows frame floor(floor(v * 255 * 50) / 50).
int expectedFrame(float value)
{
    return static_cast<int>(std::floor(static_cast<double>(value) * 12750.0)) / 50;
}

// Which strip frame the screen shows in a knob's square; -1 when none.
int shownFrame(const Picture& screen, int knob)
{
    const Picture& strip = knobStrip();
    for (int f = 0; f < 256; ++f) {
        bool same = true;
        for (int y = 0; y < kKnobSize && same; ++y)
            for (int x = 0; x < kKnobSize && same; ++x)
                same = screen.at(kKnobLefts[knob] + x, kKnobTop + y) == strip.at(x, f * kKnobSize + y);
        if (same)
            return f;
    }
    return -1;
}

int openFileDescriptors()
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// Any X error that reaches the default path: one of the plug-in's escaping would land here.
std::atomic<int> escapedErrors{0};
int countError(Display*, XErrorEvent*)
{
    ++escapedErrors;
    return 0;
}

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Fixture: a host with a mapped parent window ----------------------------------------------

struct ScreenPoint {
    int x, y;
};

struct X11EditorTest : ::testing::Test {
    x11_test::DisplayTurn turn;
    Display* display = nullptr;
    Window parent = 0;
    std::unique_ptr<vsthost::PluginModule> module;
    std::unique_ptr<vsthost::HostedPlugin> plugin;
    bool opened = false;

    void SetUp() override
    {
        ASSERT_TRUE(threadsReady);
        display = XOpenDisplay(nullptr);
        if (!display)
            GTEST_SKIP() << "no X display reachable";
        XSetErrorHandler(countError);
        escapedErrors = 0;
        ASSERT_EQ(knobStrip().height, 12800);
        ASSERT_EQ(background().width, kWidth);
        module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
        ASSERT_TRUE(module);
        plugin = std::make_unique<vsthost::HostedPlugin>(*module);
        ASSERT_TRUE(*plugin);
        parent = makeParent();
    }

    void TearDown() override
    {
        if (plugin && opened)
            plugin->dispatch(effEditClose);
        plugin.reset();
        if (display) {
            if (parent)
                XDestroyWindow(display, parent);
            XSync(display, False);
            EXPECT_EQ(escapedErrors.load(), 0);
            XSetErrorHandler(nullptr);
            XCloseDisplay(display);
        }
    }

    Window makeParent()
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = 0x203040;
        attributes.override_redirect = True;
        Window w = XCreateWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, CopyFromParent,
                                 InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
        XMapRaised(display, w);
        XSync(display, False);
        return w;
    }

    bool open()
    {
        opened = plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1;
        return opened;
    }

    void close()
    {
        plugin->dispatch(effEditClose);
        opened = false;
    }

    void idle(int passes = 1)
    {
        for (int i = 0; i < passes; ++i) {
            plugin->dispatch(effEditIdle);
            XSync(display, False);
            pause(5);
        }
    }

    // Idles until the condition holds, for at most 20 s of wall time (a loaded machine is slow,
    // a broken build must not hang).
    bool idleUntil(const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            idle();
        return condition();
    }

    ScreenPoint rootOf(int x, int y)
    {
        int rx = 0, ry = 0;
        Window child = 0;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        return {rx, ry};
    }

    Picture capture()
    {
        Picture p{kWidth, kHeight, x11_test::windowPixels(display, parent, 0, 0, kWidth, kHeight)};
        p.rgb.resize(static_cast<size_t>(kWidth) * kHeight, 0);
        return p;
    }

    void moveTo(Display* d, int x, int y)
    {
        const ScreenPoint r = rootOf(x, y);
        XTestFakeMotionEvent(d, -1, r.x, r.y, CurrentTime);
        XSync(d, False);
    }

    void click(unsigned button)
    {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XSync(display, False);
    }

    // Presses the left button at (x, y) of the host's window, then a second connection moves the
    // pointer along the path and releases it while this thread idles the editor, as a host's
    // GUI thread does while the plug-in's drag loop runs inside its idle call. The release waits
    // until the host has been told a value within `near` of `target`, or 20 s.
    void dragAlong(int x, int y, const std::vector<std::pair<int, int>>& path, float target, float near)
    {
        moveTo(display, x, y);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        std::atomic<bool> released{false};
        std::thread helper([&] {
            Display* d = XOpenDisplay(nullptr);
            const auto waitFor = [](const std::function<bool()>& condition) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (!condition() && std::chrono::steady_clock::now() < deadline)
                    pause(5);
            };
            // The drag loop has begun once it opens the edit.
            waitFor([&] { return !plugin->callsWith(audioMasterBeginEdit).empty(); });
            for (const auto& step : path) {
                moveTo(d, step.first, step.second);
                pause(80); // the speed of the drag, not a wait for anything
            }
            waitFor([&] {
                const auto automated = plugin->callsWith(audioMasterAutomate);
                return !automated.empty() && std::fabs(automated.back().opt - target) <= near;
            });
            XTestFakeButtonEvent(d, 1, False, CurrentTime);
            XSync(d, False);
            XCloseDisplay(d);
            released = true;
        });
        idleUntil([&] { return released.load() && !edits().empty() && edits().back().opcode == audioMasterEndEdit; });
        helper.join();
    }

    std::vector<vsthost::HostCall> edits()
    {
        std::vector<vsthost::HostCall> result;
        for (const auto& call : plugin->calls())
            if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                call.opcode == audioMasterAutomate)
                result.push_back(call);
        return result;
    }
};

TEST_F(X11EditorTest, ShowsThePanelAndEachKnobsFrameInTheHostsWindow)
{
    const float values[6] = {0.5f, 1.0f, 0.0f, 0.25f, 0.75f, 0.9f};
    for (int i = 0; i < 6; ++i)
        plugin->setParameter(i, values[i]);
    ASSERT_TRUE(open());
    // Our window is the parent's only child, at its origin and of the panel's size.
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &up, &children, &count);
    ASSERT_EQ(count, 1u);
    XWindowAttributes child{};
    XGetWindowAttributes(display, children[0], &child);
    XFree(children);
    EXPECT_EQ(child.x, 0);
    EXPECT_EQ(child.y, 0);
    EXPECT_EQ(child.width, kWidth);
    EXPECT_EQ(child.height, kHeight);
    EXPECT_EQ(child.map_state, IsViewable);

    const int expected[6] = {127, 255, 0, 63, 191, 229};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expectedFrame(values[i]), expected[i]); // the rule the frames below follow
    Picture screen;
    idleUntil([&] {
        screen = capture();
        return shownFrame(screen, 5) == expected[5];
    });
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(shownFrame(screen, i), expected[i]) << "knob " << i;
    // Outside the knobs the panel shows the background picture.
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool inKnob = y >= kKnobTop && y < kKnobTop + kKnobSize &&
                                std::any_of(std::begin(kKnobLefts), std::end(kKnobLefts),
                                            [&](int left) { return x >= left && x < left + kKnobSize; });
            differing += !inKnob && screen.at(x, y) != background().at(x, y);
        }
    EXPECT_EQ(differing, 0);

    // A value set by the host while open reaches the screen on the idle passes.
    plugin->setParameter(2, 0.5f);
    EXPECT_TRUE(idleUntil([&] { return shownFrame(capture(), 2) == 127; }));
}

TEST_F(X11EditorTest, AnXTestDragTurnsOnlyThatKnobAndTheScreenFollows)
{
    plugin->setParameter(1, 0.0f);
    plugin->setParameter(4, 0.3f);
    ASSERT_TRUE(open());
    ASSERT_TRUE(idleUntil([&] { return shownFrame(capture(), 1) == 0; }));
    plugin->clearCalls();

    // Knob 1's centre is (131, 51): straight above it is the middle of the sweep, straight
    // right of it three quarters of the way between the middle and the end.
    dragAlong(131, 30, {{140, 32}, {148, 38}, {153, 45}, {156, 51}}, 225.0f / 270.0f, 0.05f);

    const auto calls = edits();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    int begins = 0;
    for (const auto& call : calls) {
        EXPECT_EQ(call.index, 1);
        begins += call.opcode == audioMasterBeginEdit;
    }
    EXPECT_EQ(begins, 1);
    // (225 - 0) degrees of a 270-degree sweep, give or take the pixel grid.
    const float value = plugin->getParameter(1);
    EXPECT_NEAR(value, 225.0f / 270.0f, 0.05f);
    EXPECT_EQ(plugin->getParameter(4), 0.3f);
    EXPECT_TRUE(idleUntil([&] { return shownFrame(capture(), 1) == expectedFrame(value); }));
    EXPECT_EQ(shownFrame(capture(), 4), expectedFrame(0.3f));
}

TEST_F(X11EditorTest, KnobModeTwoFromTheHostMakesTheDragLinear)
{
    ASSERT_EQ(plugin->dispatch(effSetEditKnobMode, 0, 2), 1);
    // The mode is module-wide: put circular dragging back whatever happens below.
    struct RestoreCircular {
        vsthost::HostedPlugin& plugin;
        ~RestoreCircular() { plugin.dispatch(effSetEditKnobMode, 0, 0); }
    } restore{*plugin};
    plugin->setParameter(2, 0.2f);
    ASSERT_TRUE(open());
    ASSERT_TRUE(idleUntil([&] { return shownFrame(capture(), 2) == expectedFrame(0.2f); }));
    plugin->clearCalls();

    // Pressed anywhere on knob 2 (a circular press here would jump to the left of the sweep),
    // then 60 pixels straight right: half the range per 100 pixels.
    dragAlong(200, 51, {{215, 51}, {230, 51}, {245, 51}, {260, 51}}, 0.2f + 60.0f / 200.0f, 0.011f);

    EXPECT_NEAR(plugin->getParameter(2), 0.2f + 60.0f / 200.0f, 0.011f);
    for (const auto& call : edits())
        EXPECT_EQ(call.index, 2);
    EXPECT_TRUE(idleUntil([&] { return shownFrame(capture(), 2) == expectedFrame(plugin->getParameter(2)); }));
}

TEST_F(X11EditorTest, WheelButtonsStepATenthAndAHundredthWithShift)
{
    plugin->setParameter(3, 0.5f);
    ASSERT_TRUE(open());
    ASSERT_TRUE(idleUntil([&] { return shownFrame(capture(), 3) == 127; }));
    plugin->clearCalls();
    moveTo(display, 292, 51);

    click(4); // up
    ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(3) != 0.5f; }));
    EXPECT_NEAR(plugin->getParameter(3), 0.6f, 1e-6);

    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    XTestFakeKeyEvent(display, shift, True, CurrentTime);
    click(5); // down, fine
    ASSERT_TRUE(idleUntil([&] { return std::fabs(plugin->getParameter(3) - 0.6f) > 1e-6; }));
    XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
    EXPECT_NEAR(plugin->getParameter(3), 0.59f, 1e-6);

    click(7); // the horizontal wheel, to the right
    ASSERT_TRUE(idleUntil([&] { return std::fabs(plugin->getParameter(3) - 0.59f) > 1e-6; }));
    EXPECT_NEAR(plugin->getParameter(3), 0.69f, 1e-6);

    int automations = 0;
    for (const auto& call : edits()) {
        EXPECT_EQ(call.index, 3);
        automations += call.opcode == audioMasterAutomate;
    }
    EXPECT_EQ(automations, 3);
    EXPECT_TRUE(idleUntil([&] { return shownFrame(capture(), 3) == expectedFrame(plugin->getParameter(3)); }));
}

TEST_F(X11EditorTest, AnXTestClickOnTheEightTimesSegmentSelectsItInOneEdit)
{
    ASSERT_EQ(switchStrip().height, 3 * kSwitchHeight);
    plugin->setParameter(kOversampling, 0.0f);
    plugin->setParameter(0, 0.5f);
    ASSERT_TRUE(open());
    ASSERT_TRUE(idleUntil([&] { return shownSwitchPosition(capture()) == 0; }));
    plugin->clearCalls();

    // The middle of the right-hand third.
    moveTo(display, kSwitchLeft + kSwitchWidth * 5 / 6, kSwitchTop + kSwitchHeight / 2);
    click(1);
    ASSERT_TRUE(idleUntil([&] { return !edits().empty() && edits().back().opcode == audioMasterEndEdit; }));

    EXPECT_EQ(plugin->getParameter(kOversampling), 1.0f);
    const auto calls = edits();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].opt, 1.0f);
    EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
    for (const auto& call : calls)
        EXPECT_EQ(call.index, kOversampling);
    EXPECT_EQ(plugin->getParameter(0), 0.5f);
    EXPECT_TRUE(idleUntil([&] { return shownSwitchPosition(capture()) == 2; }));
}

TEST_F(X11EditorTest, PointingAtTheSwitchChangesTheNamePlateUntilThePointerLeavesTheWindow)
{
    // The line of text in the name plate.
    const auto plate = [](const Picture& screen) {
        std::vector<uint32_t> pixels;
        for (int y = 47; y < 57; ++y)
            for (int x = 526; x < 658; ++x)
                pixels.push_back(screen.at(x, y));
        return pixels;
    };
    moveTo(display, 600, 30); // the title: nothing pointed at
    ASSERT_TRUE(open());
    ASSERT_TRUE(idleUntil([&] { return shownSwitchPosition(capture()) == 0; }));
    const std::vector<uint32_t> cabinetLine = plate(capture());
    moveTo(display, kSwitchLeft + 10, kSwitchTop + kSwitchHeight / 2);
    EXPECT_TRUE(idleUntil([&] { return plate(capture()) != cabinetLine; }));
    moveTo(display, kWidth + 100, kHeight + 100);
    EXPECT_TRUE(idleUntil([&] { return plate(capture()) == cabinetLine; }));
}

TEST_F(X11EditorTest, AHostThatDestroysItsWindowFirstCrashesNothing)
{
    ASSERT_TRUE(open());
    idle(5);
    XDestroyWindow(display, parent);
    XSync(display, False);
    parent = 0;
    idle(10);
    // A press in the dead window's place (the parent sat at the root's origin) reaches nobody.
    XTestFakeMotionEvent(display, -1, 51, 51, CurrentTime);
    click(1);
    idle(5);
    close();
    EXPECT_EQ(escapedErrors.load(), 0);

    // The plug-in opens again in a new window afterwards.
    parent = makeParent();
    ASSERT_TRUE(open());
    EXPECT_TRUE(idleUntil([&] { return shownFrame(capture(), 0) == expectedFrame(plugin->getParameter(0)); }));
}

TEST_F(X11EditorTest, AnUnknownOrImpossibleParentWindowAnswersZero)
{
    // A window id of our server that names no window.
    const Window stale = parent;
    XDestroyWindow(display, parent);
    XSync(display, False);
    parent = stale;
    EXPECT_FALSE(open());
    // A pointer where the id belongs (above the ids' 29 bits) would leave an editor nobody sees.
    int standIn = 0;
    parent = static_cast<Window>(reinterpret_cast<uintptr_t>(&standIn));
    ASSERT_GT(parent, 0x1fffffffu);
    EXPECT_FALSE(open());
    parent = 0;
    plugin->dispatch(effEditIdle);
    EXPECT_EQ(escapedErrors.load(), 0);
}

TEST_F(X11EditorTest, OpeningAndClosingAHundredTimesLeaksNoConnectionOrWindow)
{
    ASSERT_TRUE(open());
    idle(2);
    close();
    const int before = openFileDescriptors();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(open()) << i;
        idle();
        close();
    }
    EXPECT_EQ(openFileDescriptors(), before);
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &up, &children, &count);
    if (children)
        XFree(children);
    EXPECT_EQ(count, 0u);
}

void expectAudioStillRuns(vsthost::HostedPlugin& plugin)
{
    std::vector<float> input(2048), output(2048, 0.0f);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = 0.5f * static_cast<float>(std::sin(2.0 * 3.141592653589793 * 220.0 * i / 44100.0));
    plugin.processMono(input.data(), output.data(), input.size(), 256);
    double energy = 0.0;
    bool finite = true;
    for (float s : output) {
        finite = finite && std::isfinite(s);
        energy += double(s) * s;
    }
    EXPECT_TRUE(finite);
    EXPECT_GT(energy, 0.0);
}

TEST(X11EditorServerLoss, AServerThatDiesUnderTheEditorEndsNeitherHostNorAudio)
{
    PrivateXServer server{"640x480x24", false};
    if (server.name.empty())
        GTEST_SKIP() << "no private Xvfb";
    DisplayVariable variable(server.name.c_str());
    auto module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
    ASSERT_TRUE(module);
    vsthost::HostedPlugin plugin(*module);
    ASSERT_TRUE(plugin);
    plugin.start(44100.0, 256);

    // The parent outlives this connection, so that the test holds none when the server dies.
    Display* d = XOpenDisplay(server.name.c_str());
    ASSERT_NE(d, nullptr);
    Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(d, parent);
    XSetCloseDownMode(d, RetainPermanent);
    XSync(d, False);
    XCloseDisplay(d);

    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    for (int i = 0; i < 5; ++i)
        plugin.dispatch(effEditIdle);
    server.kill();
    for (int i = 0; i < 5; ++i) {
        plugin.dispatch(effEditIdle);
        plugin.setParameter(0, 0.1f * i);
    }
    plugin.dispatch(effEditClose);
    expectAudioStillRuns(plugin);
}

// Needs no display: the point is the host that has none.
TEST(X11EditorWithoutDisplay, OpenAnswersZeroAndAudioGoesOn)
{
    auto module = vsthost::PluginModule::load(QUARVINE_MODULE_PATH);
    ASSERT_TRUE(module);
    vsthost::HostedPlugin plugin(*module);
    ASSERT_TRUE(plugin);
    plugin.start(44100.0, 256);

    auto* someWindow = reinterpret_cast<void*>(uintptr_t{0x400001});
    {
        DisplayVariable none(nullptr);
        EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, someWindow), 0);
        plugin.dispatch(effEditIdle);
        plugin.dispatch(effEditClose);
    }
    {
        DisplayVariable unserved(":4711");
        EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, someWindow), 0);
        plugin.dispatch(effEditIdle);
    }
    expectAudioStillRuns(plugin);
    // Without a parent the editor still builds its view tree, as before.
    EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, nullptr), 1);
    plugin.dispatch(effEditClose);
}

} // namespace
