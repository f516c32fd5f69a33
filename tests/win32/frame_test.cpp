// SPDX-License-Identifier: GPL-3.0-or-later
// The frame window on Win32: class, messages into the view tree, painting and resizing.
#include "gui_test_support.h"

#include "editor/aeffguieditor.h"
#include "gui/cdroptarget.h"
#include "gui/cframe.h"
#include "host/audioeffectx.h"

#include <cstring>

#include <gtest/gtest.h>

namespace win32_test {

namespace {

int wheelMessagesAtParent = 0;
int positionChanges = 0;
HHOOK positionHook = nullptr;

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEWHEEL)
        ++wheelMessagesAtParent;
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK countPositionChanges(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code >= 0 && message->message == WM_WINDOWPOSCHANGING)
        ++positionChanges;
    return CallNextHookEx(positionHook, code, wParam, lParam);
}

std::string frameClassName()
{
    char name[64];
    std::snprintf(name, sizeof name, "Plugin%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))));
    return name;
}

bool frameClassRegistered()
{
    WNDCLASSA info;
    return GetClassInfoA(GetModuleHandleA(nullptr), frameClassName().c_str(), &info) != 0;
}

SIZE windowSize(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

HWND makeWindow(HWND parent, int x, int y, int width, int height, DWORD style)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = plainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QuarvinePlainWindow";
        RegisterClassA(&windowClass);
        registered = true;
    }
    if (!style)
        style = parent ? (WS_CHILD | WS_VISIBLE) : (WS_POPUP | WS_VISIBLE);
    return CreateWindowExA(0, "QuarvinePlainWindow", "", style, x, y, width, height, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

class FrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(moduleInstanceSet);
        parent = makeWindow(nullptr, 100, 100, 200, 150);
        frame = new gui::CFrame(gui::CRect(0, 0, 200, 150), parent, nullptr);
        view = new RecordingView(gui::CRect(0, 0, 200, 150));
        frame->addView(view);
        window = static_cast<HWND>(frame->getSystemWindow());
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        frame->forget();
        DestroyWindow(parent);
    }

    HWND parent = nullptr;
    gui::CFrame* frame = nullptr;
    RecordingView* view = nullptr;
    HWND window = nullptr;
};

TEST_F(FrameWindowTest, WindowIsAChildOfTheHostWindowWithTheModulesClass)
{
    EXPECT_EQ(GetParent(window), parent);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_EQ(frameClassName(), name);
    char title[16] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Window");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & 0x56000000u, 0x56000000u);
    EXPECT_EQ(reinterpret_cast<gui::CFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA)), frame);
    EXPECT_TRUE(frame->isDropActive());
}

TEST_F(FrameWindowTest, ClassStaysWhileAnyFrameHoldsIt)
{
    HWND otherParent = makeWindow(nullptr, 400, 100, 100, 100);
    auto* other = new gui::CFrame(gui::CRect(0, 0, 100, 100), otherParent, nullptr);
    EXPECT_TRUE(frameClassRegistered());
    other->forget();
    EXPECT_TRUE(frameClassRegistered());
    frame->forget();
    EXPECT_FALSE(frameClassRegistered());
    // A new frame registers it again.
    frame = new gui::CFrame(gui::CRect(0, 0, 200, 150), parent, nullptr);
    EXPECT_TRUE(frameClassRegistered());
    DestroyWindow(otherParent);
}

TEST_F(FrameWindowTest, ButtonDownReachesTheViewAtItsClientPointWithTheLiveState)
{
    // A real Shift key held down: the context reads it into the button state.
    pressKey(VK_SHIFT, true);
    pumpMessages(50);
    SendMessageA(window, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 7));
    pressKey(VK_SHIFT, false);
    pumpMessages(50);
    ASSERT_EQ(view->presses, 1);
    EXPECT_EQ(view->lastPress, gui::CPoint(5, 7));
    EXPECT_EQ(view->lastButtons, 8);
}

TEST_F(FrameWindowTest, WheelTurnReachesTheViewAndTheDefaultHandling)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    wheelMessagesAtParent = 0;
    const int16_t delta = -120;
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                 MAKELPARAM(rect.left + 30, rect.top + 40));
    ASSERT_EQ(view->wheels, 1);
    EXPECT_FLOAT_EQ(view->lastDistance, -1.0f);
    EXPECT_EQ(view->lastWheel, gui::CPoint(30, 40));
    // The default handling of a child passes the wheel on to its parent.
    EXPECT_EQ(wheelMessagesAtParent, 1);
}

TEST_F(FrameWindowTest, ThePointerHoversTheViewUnderItUntilItLeavesTheWindow)
{
    // At most 10 s each: a fresh Wine session is slow to deliver the first move.
    moveCursorTo(130, 140); // the window is at (100, 100) of the screen
    for (int i = 0; i < 200 && !view->hovered; ++i)
        pumpMessages(50);
    EXPECT_TRUE(view->hovered);
    // The system tells of the leave only when asked to on an earlier move.
    moveCursorTo(600, 600);
    for (int i = 0; i < 200 && view->hovered; ++i)
        pumpMessages(50);
    EXPECT_FALSE(view->hovered);
    EXPECT_EQ(frame->getHoveredView(), nullptr);
}

TEST_F(FrameWindowTest, PaintDrawsOnlyTheUpdateRectangle)
{
    UpdateWindow(window);
    pumpMessages(50);
    ASSERT_GE(view->rectDraws, 1);
    const Picture before = captureWindow(window);
    ASSERT_EQ(before.at(100, 100), 0x00FF00u);

    view->color = gui::CColor{255, 0, 0, 255};
    RECT update{10, 20, 30, 50};
    InvalidateRect(window, &update, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(view->lastUpdate, gui::CRect(10, 20, 30, 50));
    const Picture after = captureWindow(window);
    int outsideChanged = 0;
    int insideWrong = 0;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 20 && y < 50;
            if (inside && after.at(x, y) != 0xFF0000u)
                ++insideWrong;
            if (!inside && after.at(x, y) != before.at(x, y))
                ++outsideChanged;
        }
    EXPECT_EQ(insideWrong, 0);
    EXPECT_EQ(outsideChanged, 0);
}

TEST_F(FrameWindowTest, SetSizeToTheCurrentSizeTouchesNoWindow)
{
    positionChanges = 0;
    positionHook = SetWindowsHookExA(WH_CALLWNDPROC, countPositionChanges, nullptr, GetCurrentThreadId());
    EXPECT_FALSE(frame->setSize(200, 150));
    UnhookWindowsHookEx(positionHook);
    EXPECT_EQ(positionChanges, 0);
    EXPECT_EQ(windowSize(window).cx, 200);
}

TEST_F(FrameWindowTest, ResizeWalkStopsAtAParentMoreThan80PixelsWider)
{
    // frame 100 x 100 in a holder 181 x 100 in the top window.
    HWND top = makeWindow(nullptr, 100, 300, 400, 300);
    HWND holder = makeWindow(top, 0, 0, 181, 100);
    auto* small = new gui::CFrame(gui::CRect(0, 0, 100, 100), holder, nullptr);
    HWND smallWindow = static_cast<HWND>(small->getSystemWindow());
    ASSERT_GT(GetSystemMetrics(SM_CYDLGFRAME), 0);
    EXPECT_TRUE(small->setSize(120, 110));
    EXPECT_EQ(windowSize(smallWindow).cx, 120);
    EXPECT_EQ(windowSize(smallWindow).cy, 110);
    EXPECT_EQ(windowSize(holder).cx, 181);
    EXPECT_EQ(windowSize(holder).cy, 100);
    small->forget();
    DestroyWindow(top);
}

TEST_F(FrameWindowTest, ResizeWalkGrowsACloseFittingParentByTheSameAmount)
{
    // The holder is 20 pixels wider than the frame: it keeps that margin.
    HWND top = makeWindow(nullptr, 100, 300, 600, 400);
    HWND holder = makeWindow(top, 0, 0, 120, 100);
    auto* small = new gui::CFrame(gui::CRect(0, 0, 100, 100), holder, nullptr);
    HWND smallWindow = static_cast<HWND>(small->getSystemWindow());
    EXPECT_TRUE(small->setSize(130, 110));
    EXPECT_EQ(windowSize(smallWindow).cx, 130);
    EXPECT_EQ(windowSize(holder).cx, 150);
    EXPECT_EQ(windowSize(holder).cy, 110);
    // The top window is far larger and belongs to the host: untouched.
    EXPECT_EQ(windowSize(top).cx, 600);
    small->forget();
    DestroyWindow(top);
}

TEST_F(FrameWindowTest, DestroyedParentClosesTheFrame)
{
    DestroyWindow(parent);
    parent = nullptr;
    EXPECT_FALSE(frame->getOpenFlag());
    EXPECT_EQ(frame->getParentWindow(), nullptr);
    gui::CRect size;
    EXPECT_FALSE(frame->getSize(&size));
    EXPECT_FALSE(frame->setSize(300, 300));
}

TEST(FrameWithDestroyedHost, DropRegistrationEndsWithTheWindowAndTheLaterCloseOnlyReleasesTheClass)
{
    HWND parent = makeWindow(nullptr, 100, 100, 200, 150);
    auto* frame = new gui::CFrame(gui::CRect(0, 0, 200, 150), parent, nullptr);
    gui::CDropTarget* target = frame->getDropTarget();
    ASSERT_NE(target, nullptr);
    // A reference of our own keeps the target alive to be inspected.
    target->AddRef();
    ASSERT_GT(target->getReferenceCount(), 1);
    DestroyWindow(parent);
    EXPECT_FALSE(frame->isDropActive());
    EXPECT_EQ(target->getReferenceCount(), 1);
    frame->forget();
    EXPECT_EQ(target->getReferenceCount(), 1);
    EXPECT_FALSE(frameClassRegistered());
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(FrameWindowTest, CursorTypesWithoutAShapeRestoreTheDefault)
{
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    HCURSOR original = GetCursor();
    frame->setCursor(gui::kCursorWait);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    frame->setCursor(7);
    EXPECT_EQ(GetCursor(), original);
    frame->setCursor(gui::kCursorHand);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    frame->setCursor(12);
    EXPECT_EQ(GetCursor(), original);
}

namespace {

VstInt32 sizeRequests = 0;
VstInt32 requestedWidth = 0;
VstInt32 requestedHeight = 0;

// A host that can size the editor window itself and says yes to every request.
VstIntPtr VSTCALLBACK sizingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterCanDo)
        return ptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    if (opcode == audioMasterSizeWindow) {
        ++sizeRequests;
        requestedWidth = index;
        requestedHeight = static_cast<VstInt32>(value);
        return 1;
    }
    return 0;
}

class SilentEffect : public AudioEffectX {
public:
    using AudioEffectX::AudioEffectX;
    void processReplacing(float**, float**, VstInt32) override {}
};

} // namespace

TEST(FrameWithSizingHost, HostResizesAndOnlyTheFrameWindowFollows)
{
    ASSERT_TRUE(moduleInstanceSet);
    HWND top = makeWindow(nullptr, 100, 300, 600, 400);
    HWND holder = makeWindow(top, 0, 0, 120, 100);
    SilentEffect effect(sizingHost, 0, 6);
    auto* editor = new AEffGUIEditor(&effect); // the effect owns it
    auto* frame = new gui::CFrame(gui::CRect(0, 0, 100, 100), holder, editor);
    HWND window = static_cast<HWND>(frame->getSystemWindow());
    sizeRequests = 0;
    EXPECT_TRUE(frame->setSize(130, 110));
    EXPECT_EQ(sizeRequests, 1);
    EXPECT_EQ(requestedWidth, 130);
    EXPECT_EQ(requestedHeight, 110);
    EXPECT_EQ(windowSize(window).cx, 130);
    EXPECT_EQ(windowSize(window).cy, 110);
    // The host sized its own windows: the walk up the parents is not taken.
    EXPECT_EQ(windowSize(holder).cx, 120);
    EXPECT_EQ(frame->getWidth(), 130);
    frame->forget();
    DestroyWindow(top);
}

TEST(FrameWithoutParent, MakesNoWindowAndAnswersFalse)
{
    ASSERT_TRUE(moduleInstanceSet);
    auto* frame = new gui::CFrame(gui::CRect(0, 0, 50, 50), nullptr, nullptr);
    EXPECT_EQ(frame->getSystemWindow(), nullptr);
    EXPECT_FALSE(frame->isDropActive());
    int32_t x = 0, y = 0;
    EXPECT_FALSE(frame->getPosition(x, y));
    frame->forget();
}

} // namespace win32_test
