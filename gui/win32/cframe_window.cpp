// SPDX-License-Identifier: GPL-3.0-or-later
// Window services of the frame on Win32: the module's window class, the child window and its
// procedure, cursors, the resize walk and the window geometry.
#include "gui/win32/win32_module.h"

#include "gui/cdrawcontext.h"
#include "gui/cdroptarget.h"
#include "gui/cframe.h"
#include "host/module_instance.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gui {

namespace win32 {

ModuleState& moduleState()
{
    static ModuleState state;
    return state;
}

HINSTANCE moduleInstance()
{
    return static_cast<HINSTANCE>(::hInstance);
}

const char* windowClassName()
{
    ModuleState& state = moduleState();
    if (!state.className[0])
        std::snprintf(state.className, sizeof state.className, "Plugin%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(::hInstance)));
    return state.className;
}

} // namespace win32

namespace {

using win32::moduleState;

CFrame* frameOf(HWND window)
{
    return reinterpret_cast<CFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK frameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFrame* frame = frameOf(window);
    if (!frame)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        frame->windowDestroyed();
        // The window no longer belongs to the frame: the later close must leave its handle alone.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    case WM_PAINT: {
        RECT update;
        if (!GetUpdateRect(window, &update, FALSE))
            break;
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        auto* context = new CDrawContext(frame, dc, window);
        frame->drawRect(context, CRect(paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                                       paint.rcPaint.bottom));
        context->forget();
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        CDrawContext* context = frame->createDrawContext();
        // Client coordinates as the message packs them, low and high halves unsigned.
        CPoint where(static_cast<int32_t>(LOWORD(lParam)), static_cast<int32_t>(HIWORD(lParam)));
        frame->mouse(context, where, -1);
        context->forget();
        return 0;
    }
    case WM_MOUSEMOVE: {
        // Asked again on each move: the request lapses once the leave is posted.
        TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, window, 0};
        TrackMouseEvent(&leave);
        frame->pointerMoved(CPoint(static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))));
        break;
    }
    case WM_MOUSELEAVE:
        frame->pointerLeft();
        break;
    case WM_MOUSEWHEEL: {
        CDrawContext* context = frame->createDrawContext();
        const float distance = static_cast<float>(static_cast<int16_t>(HIWORD(wParam)) / 120.0);
        POINT point{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
        ScreenToClient(window, &point);
        frame->onWheel(context, CPoint(point.x, point.y), distance);
        context->forget();
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerWindowClass()
{
    auto& state = moduleState();
    if (++state.classUseCount != 1)
        return;
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = frameWindowProc;
    windowClass.hInstance = win32::moduleInstance();
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = win32::windowClassName();
    RegisterClassA(&windowClass);
    state.buttonsSwapped = GetSystemMetrics(SM_SWAPBUTTON) > 0;
}

void unregisterWindowClass()
{
    auto& state = moduleState();
    if (state.classUseCount-- == 1)
        UnregisterClassA(win32::windowClassName(), win32::moduleInstance());
}

int32_t rectWidth(const RECT& r)
{
    return r.right - r.left;
}

int32_t rectHeight(const RECT& r)
{
    return r.bottom - r.top;
}

} // namespace

bool CFrame::platformCreateWindow()
{
    registerWindowClass();
    HWND created = CreateWindowExA(0, win32::windowClassName(), "Window",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, size.width(),
                                   size.height(), static_cast<HWND>(parentWindow), nullptr,
                                   win32::moduleInstance(), nullptr);
    if (!created) {
        unregisterWindowClass();
        return false;
    }
    window = created;
    SetWindowLongPtrA(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void CFrame::platformDestroyWindow()
{
    HWND handle = static_cast<HWND>(window);
    // Once the host destroyed the window, its handle may already name another window.
    if (IsWindow(handle) && frameOf(handle) == this) {
        SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
        DestroyWindow(handle);
    }
    window = nullptr;
    unregisterWindowClass();
}

void CFrame::platformLoadBlendLibrary()
{
    auto& state = moduleState();
    state.alphaBlend = nullptr;
    state.transparentBlt = nullptr;
    HMODULE library = LoadLibraryA("msimg32.dll");
    blendLibrary = library;
    if (!library)
        return;
    state.alphaBlend = reinterpret_cast<win32::AlphaBlendEntry>(
        reinterpret_cast<void*>(GetProcAddress(library, "AlphaBlend")));
    // The extended record (156 bytes): the size field tells the platform which one it fills.
    OSVERSIONINFOEXA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    static_assert(sizeof(OSVERSIONINFOEXA) == 156);
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        state.majorVersion = version.dwMajorVersion;
        state.minorVersion = version.dwMinorVersion;
        state.platformId = version.dwPlatformId;
        // The older family's TransparentBlt leaks; only the NT family's is trusted.
        if (version.dwPlatformId >= VER_PLATFORM_WIN32_NT)
            state.transparentBlt = reinterpret_cast<win32::TransparentBltEntry>(
                reinterpret_cast<void*>(GetProcAddress(library, "TransparentBlt")));
    }
}

void CFrame::platformFreeBlendLibrary()
{
    // The module-wide entries stay: another frame may still hold the library.
    if (blendLibrary)
        FreeLibrary(static_cast<HMODULE>(blendLibrary));
    blendLibrary = nullptr;
}

void CFrame::platformOleInitialize()
{
    OleInitialize(nullptr);
}

void CFrame::platformOleUninitialize()
{
    OleUninitialize();
}

bool CFrame::platformRegisterDrop()
{
    if (!dropTarget)
        return false;
    RevokeDragDrop(static_cast<HWND>(window));
    if (RegisterDragDrop(static_cast<HWND>(window), dropTarget) == S_OK)
        return true;
    // The platform never took a reference, so nobody else will destroy it.
    dropTarget->release();
    dropTarget = nullptr;
    return false;
}

void CFrame::platformRevokeDrop()
{
    // The platform gives its reference back, and the target destroys itself with it.
    RevokeDragDrop(static_cast<HWND>(window));
    dropTarget = nullptr;
}

void* CFrame::platformCurrentCursor() const
{
    return GetCursor();
}

void CFrame::platformSetCursor(int32_t type)
{
    LPCSTR shape = nullptr;
    switch (type) {
    case kCursorWait: shape = reinterpret_cast<LPCSTR>(IDC_WAIT); break;
    case kCursorHSize: shape = reinterpret_cast<LPCSTR>(IDC_SIZEWE); break;
    case kCursorVSize: shape = reinterpret_cast<LPCSTR>(IDC_SIZENS); break;
    case kCursorSizeAll: shape = reinterpret_cast<LPCSTR>(IDC_SIZEALL); break;
    case kCursorNESWSize: shape = reinterpret_cast<LPCSTR>(IDC_SIZENESW); break;
    case kCursorNWSESize: shape = reinterpret_cast<LPCSTR>(IDC_SIZENWSE); break;
    case kCursorNotAllowed: shape = reinterpret_cast<LPCSTR>(IDC_NO); break;
    case kCursorHand: shape = reinterpret_cast<LPCSTR>(IDC_HAND); break;
    default: break;
    }
    SetCursor(shape ? LoadCursorA(nullptr, shape) : static_cast<HCURSOR>(defaultCursor));
}

void CFrame::platformResizeWindow(int32_t width, int32_t height)
{
    if (window)
        SetWindowPos(static_cast<HWND>(window), HWND_TOP, 0, 0, width, height, SWP_NOMOVE);
}

bool CFrame::platformGrowEnclosingWindows(int32_t width, int32_t height)
{
    const int32_t extra = 2 * GetSystemMetrics(SM_CYDLGFRAME);
    int32_t widthDiff = 0;
    int32_t heightDiff = 0;
    HWND current = static_cast<HWND>(window);
    if (extra != 0) {
        do {
            if (!current)
                return false;
            HWND parent = GetParent(current);
            char className[1024] = {};
            if (parent)
                GetClassNameA(parent, className, sizeof className);
            if (!parent || std::strcmp(className, "MDIClient") == 0)
                break;
            RECT currentRect;
            RECT parentRect;
            GetWindowRect(current, &currentRect);
            GetWindowRect(parent, &parentRect);
            SetWindowPos(current, HWND_TOP, 0, 0, width + widthDiff, height + heightDiff, SWP_NOMOVE);
            widthDiff += rectWidth(parentRect) - rectWidth(currentRect);
            heightDiff += rectHeight(parentRect) - rectHeight(currentRect);
            // A much larger parent belongs to the host: leave it alone.
            if (widthDiff > 80 || heightDiff > 80)
                return true;
            if (widthDiff < 0)
                widthDiff = 0;
            if (heightDiff < 0)
                heightDiff = 0;
            current = parent;
        } while (widthDiff != extra);
    }
    if (current)
        SetWindowPos(current, HWND_TOP, 0, 0, width + widthDiff, height + heightDiff, SWP_NOMOVE);
    return false;
}

CPoint CFrame::platformWindowOrigin() const
{
    RECT rect{};
    GetWindowRect(static_cast<HWND>(window), &rect);
    return CPoint(rect.left, rect.top);
}

bool CFrame::platformGetSize(CRect* rect) const
{
    if (!window || !rect)
        return false;
    HWND parent = GetParent(static_cast<HWND>(window));
    RECT screen{};
    GetWindowRect(parent, &screen);
    HWND above = parent ? GetParent(parent) : nullptr;
    HWND twoAbove = above ? GetParent(above) : nullptr;
    POINT corner{screen.left, screen.top};
    MapWindowPoints(nullptr, twoAbove, &corner, 1);
    *rect = CRect(corner.x, corner.y, corner.x + rectWidth(screen), corner.y + rectHeight(screen));
    return true;
}

bool CFrame::platformGetPosition(int32_t& x, int32_t& y) const
{
    if (!window)
        return false;
    HWND frameWindow = static_cast<HWND>(window);
    RECT frameRect{};
    GetWindowRect(frameWindow, &frameRect);
    HWND outer = frameWindow;
    for (;;) {
        HWND parent = GetParent(outer);
        if ((GetWindowLongA(outer, GWL_STYLE) & WS_CAPTION) || !parent)
            break;
        RECT parentRect{};
        GetWindowRect(parent, &parentRect);
        if (std::abs(rectWidth(parentRect) - rectWidth(frameRect)) > 60 ||
            std::abs(rectHeight(parentRect) - rectHeight(frameRect)) > 60)
            break;
        outer = parent;
    }
    RECT outerRect{};
    GetWindowRect(outer, &outerRect);
    POINT corner{outerRect.left, outerRect.top};
    MapWindowPoints(nullptr, GetParent(outer), &corner, 1);
    x = corner.x;
    y = corner.y;
    return true;
}

} // namespace gui
