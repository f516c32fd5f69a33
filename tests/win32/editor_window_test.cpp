// SPDX-License-Identifier: GPL-3.0-or-later
// The real quarvine.dll loaded by a host, its editor opened in a window of ours and driven by
// window messages and real mouse input.
#include "fake_drop_data.h"
#include "win32_support.h"

#include "effect/plugin_state.h"
#include "tests/cabinet/hand_made_files.h"
#include "tests/cabinet/temp_folder.h"
#include "tests/host/plugin_chunk.h"
#include "vst_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using win32_test::Picture;

constexpr int kEditorWidth = 680;
constexpr int kEditorHeight = 120;
constexpr int kFrameSize = 50;
constexpr int kStripFrames = 256;
// Knob rectangles of the panel (left, top), 50 x 50 each.
constexpr POINT kKnobs[6] = {{26, 26}, {106, 26}, {187, 26}, {267, 26}, {348, 26}, {428, 26}};
// The oversampling switch in the name plate: 2x, 4x and 8x side by side, one strip frame each.
constexpr RECT kSwitch{547, 76, 637, 94};
constexpr int kSwitchHeight = kSwitch.bottom - kSwitch.top;
constexpr VstInt32 kOversampling = 6;

std::string sourcePath(const char* relative)
{
    return std::string(QUARVINE_SOURCE_DIR) + "/" + relative;
}

std::string className(HMODULE module)
{
    char name[64];
    std::snprintf(name, sizeof name, "Plugin%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
    return name;
}

bool classRegistered(HMODULE module)
{
    WNDCLASSA info;
    return GetClassInfoA(module, className(module).c_str(), &info) != 0;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeHostWindow(int x, int y)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = hostWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QuarvineTestHost";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassA(&windowClass);
        registered = true;
    }
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "QuarvineTestHost", "host", WS_POPUP | WS_VISIBLE, x, y,
                                  kEditorWidth, kEditorHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(window);
    return window;
}

// The frame index a film-strip knob shows for a value: the truncated strip offset snapped down to
// a whole frame, at most the last one.
int stripFrameFor(float value)
{
    const int span = kFrameSize * (kStripFrames - 1);
    const int raw = static_cast<int>(value * static_cast<float>(span));
    return std::min(raw / kFrameSize, kStripFrames - 1);
}

// Pixels of the window that differ from a region of a picture.
int mismatches(const Picture& screen, int left, int top, const Picture& source, int sourceLeft, int sourceTop,
               int width, int height)
{
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (screen.at(left + x, top + y) != source.at(sourceLeft + x, sourceTop + y))
                ++count;
    return count;
}

class EditorWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        module = vsthost::PluginModule::load(win32_test::windowsPath(QUARVINE_MODULE_PATH), &error).release();
        ASSERT_NE(module, nullptr) << error;
        background = win32_test::readBmp(sourcePath("resources/background.bmp"));
        strip = win32_test::readBmp(sourcePath("resources/knob_strip.bmp"));
        switchStrip = win32_test::readBmp(sourcePath("resources/switch_strip.bmp"));
    }
    static void TearDownTestSuite()
    {
        delete module;
        module = nullptr;
    }

    struct OpenEditor {
        std::unique_ptr<vsthost::HostedPlugin> plugin;
        HWND host = nullptr;
        HWND editor = nullptr;
    };

    OpenEditor open(int x, int y)
    {
        OpenEditor result;
        result.plugin = std::make_unique<vsthost::HostedPlugin>(*module);
        result.plugin->start(44100.0, 512);
        result.host = makeHostWindow(x, y);
        result.plugin->dispatch(effEditOpen, 0, 0, result.host);
        result.editor = FindWindowExA(result.host, nullptr, className(quarvineModule()).c_str(), "Window");
        return result;
    }

    void close(OpenEditor& editor)
    {
        editor.plugin->dispatch(effEditClose);
        DestroyWindow(editor.host);
        editor.plugin->close();
    }

    // Real input from a thread of its own while this one pumps the editor's messages, as a host's
    // message loop would; then the editor's idle pass.
    template <typename Script>
    static void perform(OpenEditor& editor, Script script)
    {
        std::atomic<bool> done{false};
        std::thread input([&] {
            script();
            done = true;
        });
        while (!done)
            win32_test::pumpMessages(20);
        input.join();
        win32_test::pumpMessages(200);
        editor.plugin->dispatch(effEditIdle);
        win32_test::pumpMessages(100);
    }

    // The gesture and automation calls the host saw, each checked to name the parameter `index`;
    // a run of one call counts once.
    static std::vector<VstInt32> editCalls(const OpenEditor& editor, VstInt32 index)
    {
        std::vector<VstInt32> sequence;
        for (const auto& call : editor.plugin->calls()) {
            if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
                call.opcode == audioMasterEndEdit) {
                EXPECT_EQ(call.index, index);
                if (sequence.empty() || sequence.back() != call.opcode)
                    sequence.push_back(call.opcode);
            }
        }
        return sequence;
    }

    static HMODULE quarvineModule() { return GetModuleHandleA("quarvine.dll"); }

    static vsthost::PluginModule* module;
    static Picture background;
    static Picture strip;
    static Picture switchStrip;
};

vsthost::PluginModule* EditorWindowTest::module = nullptr;
Picture EditorWindowTest::background;
Picture EditorWindowTest::strip;
Picture EditorWindowTest::switchStrip;

TEST_F(EditorWindowTest, TwoEditorsShareOneWindowClassUntilBothClose)
{
    ASSERT_NE(quarvineModule(), nullptr);
    OpenEditor first = open(20, 20);
    OpenEditor second = open(20, 200);
    ASSERT_NE(first.editor, nullptr);
    ASSERT_NE(second.editor, nullptr);
    char name[64] = {};
    GetClassNameA(first.editor, name, sizeof name);
    EXPECT_EQ(className(quarvineModule()), name);
    // "Plugin" and the handle as hexadecimal digits of the pointer's width, upper case.
    EXPECT_EQ(std::string(name).size(), 6 + 2 * sizeof(void*));
    GetClassNameA(second.editor, name, sizeof name);
    EXPECT_EQ(className(quarvineModule()), name);
    EXPECT_EQ(static_cast<LONG>(GetWindowLongA(first.editor, GWL_STYLE)) & 0x56000000, 0x56000000);
    EXPECT_TRUE(classRegistered(quarvineModule()));

    close(first);
    EXPECT_TRUE(classRegistered(quarvineModule()));
    close(second);
    EXPECT_FALSE(classRegistered(quarvineModule()));
}

TEST_F(EditorWindowTest, OpenEditorShowsPanelAndEachKnobsFrame)
{
    ASSERT_EQ(background.width, kEditorWidth);
    ASSERT_EQ(strip.height, kFrameSize * kStripFrames);
    OpenEditor editor = open(40, 300);
    ASSERT_NE(editor.editor, nullptr);
    editor.plugin->setParameter(2, 0.3f);
    win32_test::pumpMessages(300);
    editor.plugin->dispatch(effEditIdle);
    win32_test::pumpMessages(100);
    UpdateWindow(editor.editor);
    const Picture screen = win32_test::captureWindow(editor.editor);
    ASSERT_EQ(screen.width, kEditorWidth);
    ASSERT_EQ(screen.height, kEditorHeight);
    CreateDirectoryA(win32_test::windowsPath(QUARVINE_ARTIFACT_DIR).c_str(), nullptr);
    EXPECT_TRUE(win32_test::writePng(std::string(QUARVINE_ARTIFACT_DIR) + "/editor.png", screen));

    // The panel outside the knobs: rows above them and the area right of the last one.
    EXPECT_EQ(mismatches(screen, 0, 0, background, 0, 0, kEditorWidth, 26), 0);
    EXPECT_EQ(mismatches(screen, 480, 0, background, 480, 0, 200, kEditorHeight), 0);
    const float values[6] = {0.5f, 0.5f, 0.3f, 0.5f, 0.5f, 1.0f};
    for (int i = 0; i < 6; ++i) {
        const int frame = stripFrameFor(values[i]);
        EXPECT_EQ(mismatches(screen, kKnobs[i].x, kKnobs[i].y, strip, 0, frame * kFrameSize, kFrameSize, kFrameSize),
                  0)
            << "knob " << i << " should show strip frame " << frame;
    }
    close(editor);
}

TEST_F(EditorWindowTest, KnobDragThroughRealInputEditsThatParameterOnly)
{
    OpenEditor editor = open(60, 500);
    ASSERT_NE(editor.editor, nullptr);
    // Linear dragging: the value follows the pointer's movement, not its angle.
    editor.plugin->dispatch(effSetEditKnobMode, 0, 2);
    editor.plugin->dispatch(effEditClose);
    editor.plugin->dispatch(effEditOpen, 0, 0, editor.host);
    editor.editor = FindWindowExA(editor.host, nullptr, className(quarvineModule()).c_str(), "Window");
    ASSERT_NE(editor.editor, nullptr);
    win32_test::pumpMessages(300);
    editor.plugin->dispatch(effEditIdle);
    editor.plugin->clearCalls();

    constexpr int kDrive = 1;
    RECT window{};
    GetWindowRect(editor.editor, &window);
    const POINT centre{window.left + kKnobs[kDrive].x + 25, window.top + kKnobs[kDrive].y + 25};
    POINT pressed{};
    POINT released{};
    perform(editor, [&] {
        win32_test::moveCursorTo(centre.x, centre.y);
        Sleep(200);
        GetCursorPos(&pressed);
        win32_test::pressLeft(true);
        Sleep(300);
        for (int step = 1; step <= 5; ++step) {
            win32_test::moveCursorTo(centre.x + 4 * step, centre.y - 10 * step);
            Sleep(80);
        }
        Sleep(200);
        GetCursorPos(&released);
        win32_test::pressLeft(false);
        Sleep(100);
    });

    // Right and up increase the value; 200 pixels of movement span the whole range.
    const int diff = (released.x - pressed.x) + (pressed.y - released.y);
    ASSERT_GT(diff, 20) << "the pointer did not move";
    const float expected = std::clamp(0.5f + static_cast<float>(diff) / 200.0f, 0.0f, 1.0f);
    EXPECT_NEAR(editor.plugin->getParameter(kDrive), expected, 1e-5);

    const std::vector<VstInt32> bracket{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit};
    EXPECT_EQ(editCalls(editor, kDrive), bracket);
    const auto automations = editor.plugin->callsWith(audioMasterAutomate);
    EXPECT_FLOAT_EQ(automations.empty() ? -1.0f : automations.back().opt, editor.plugin->getParameter(kDrive));

    UpdateWindow(editor.editor);
    const Picture screen = win32_test::captureWindow(editor.editor);
    const int frame = stripFrameFor(editor.plugin->getParameter(kDrive));
    EXPECT_NE(frame, stripFrameFor(0.5f));
    EXPECT_EQ(mismatches(screen, kKnobs[kDrive].x, kKnobs[kDrive].y, strip, 0, frame * kFrameSize, kFrameSize,
                         kFrameSize),
              0);
    close(editor);
}

TEST_F(EditorWindowTest, ClickThroughRealInputOnTheEightTimesSegmentSelectsItInOneEdit)
{
    ASSERT_EQ(switchStrip.height, 3 * kSwitchHeight);
    OpenEditor editor = open(60, 700);
    ASSERT_NE(editor.editor, nullptr);
    editor.plugin->setParameter(kOversampling, 0.0f);
    win32_test::pumpMessages(300);
    editor.plugin->dispatch(effEditIdle);
    editor.plugin->clearCalls();

    RECT window{};
    GetWindowRect(editor.editor, &window);
    // The middle of the right-hand third.
    const POINT target{window.left + kSwitch.left + (kSwitch.right - kSwitch.left) * 5 / 6,
                       window.top + kSwitch.top + kSwitchHeight / 2};
    perform(editor, [&] {
        win32_test::moveCursorTo(target.x, target.y);
        Sleep(200);
        win32_test::pressLeft(true);
        Sleep(100);
        win32_test::pressLeft(false);
        Sleep(200);
    });

    EXPECT_EQ(editor.plugin->getParameter(kOversampling), 1.0f);
    const std::vector<VstInt32> bracket{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit};
    EXPECT_EQ(editCalls(editor, kOversampling), bracket);
    const auto automations = editor.plugin->callsWith(audioMasterAutomate);
    EXPECT_EQ(automations.size(), 1u); // one click, one edit
    EXPECT_FLOAT_EQ(automations.empty() ? -1.0f : automations.back().opt, 1.0f);

    UpdateWindow(editor.editor);
    const Picture screen = win32_test::captureWindow(editor.editor);
    EXPECT_EQ(mismatches(screen, kSwitch.left, kSwitch.top, switchStrip, 0, 2 * kSwitchHeight,
                         kSwitch.right - kSwitch.left, kSwitchHeight),
              0);
    close(editor);
}

TEST_F(EditorWindowTest, AWavDroppedOnTheEditorBecomesTheUserCabinetWhereTheHostSeesIt)
{
    constexpr VstInt32 kCabinet = 7;
    cabinet_test::TempFolder folder;
    // 0.5, -0.25 and 0.125 in 16 bits, under a name outside ASCII (U+00F6, U+97F3).
    const std::filesystem::path wav = folder.path / std::filesystem::path(u8"K\u00F6lsch \u97F3.wav");
    cabinet_test::writeBytes(wav, cabinet_test::pcm16MonoWav(48000, {0x4000, -0x2000, 0x1000}));
    OpenEditor editor = open(60, 300);
    ASSERT_NE(editor.editor, nullptr);
    ASSERT_NE(editor.plugin->getParameter(kCabinet), 1.0f) << "already at User";
    // Where the system keeps the target that the frame registered for its window.
    auto* target = static_cast<IDropTarget*>(GetPropA(editor.editor, "OleDropTargetInterface"));
    ASSERT_NE(target, nullptr);
    editor.plugin->clearCalls();

    win32_test::FakeData files(std::vector<std::wstring>{wav.wstring()});
    RECT window{};
    GetWindowRect(editor.editor, &window);
    const POINTL point{window.left + 300, window.top + 60};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(&files, MK_LBUTTON, point, &effect);
    target->DragOver(MK_LBUTTON, point, &effect);
    target->Drop(&files, 0, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));

    const auto automated = editor.plugin->callsWith(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, kCabinet);
    EXPECT_EQ(automated[0].opt, 1.0f);
    EXPECT_EQ(editor.plugin->getParameter(kCabinet), 1.0f);
    const quarvine::StateDecode saved = quarvine::decodePluginState(chunkOf(*editor.plugin));
    ASSERT_TRUE(saved.state) << saved.error;
    // In UTF-8: C3 B6 and E9 9F B3.
    EXPECT_EQ(saved.state->userCabinet,
              (quarvine::UserCabinet{"K\xC3\xB6lsch \xE9\x9F\xB3.wav", 48000.0, {0.5f, -0.25f, 0.125f}}));
    close(editor);
}

} // namespace
