// SPDX-License-Identifier: GPL-3.0-or-later
// Live services on Win32: clock, sleep, cursor, buttons and one pending repaint.
#include "gui/platform.h"

#include "gui/win32/win32_module.h"

namespace gui {

namespace win32 {

int32_t liveButtonState()
{
    const auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    // The key state reports the physical buttons; with swapped buttons the right one is primary.
    const bool swapped = moduleState().buttonsSwapped;
    int32_t state = 0;
    if (down(VK_LBUTTON))
        state |= swapped ? 4 : 1;
    if (down(VK_MBUTTON))
        state |= 2;
    if (down(VK_RBUTTON))
        state |= swapped ? 1 : 4;
    if (down(VK_SHIFT))
        state |= 8;
    if (down(VK_CONTROL))
        state |= 16;
    if (down(VK_MENU))
        state |= 32;
    return state;
}

} // namespace win32

namespace platform {

uint32_t tickCount()
{
    return GetTickCount();
}

void sleepMilliseconds(uint32_t milliseconds)
{
    Sleep(milliseconds);
}

CPoint cursorScreenPosition()
{
    POINT point{};
    GetCursorPos(&point);
    return CPoint(point.x, point.y);
}

int32_t mouseButtonState()
{
    return win32::liveButtonState();
}

void dispatchOnePendingRepaint()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&message);
}

} // namespace platform

} // namespace gui
