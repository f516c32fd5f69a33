// SPDX-License-Identifier: GPL-3.0-or-later
// Module-wide state of the Win32 backend, shared by every frame and context of the module.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>

namespace gui::win32 {

using AlphaBlendEntry = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using TransparentBltEntry = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

struct ModuleState {
    char className[40] = {};
    int32_t classUseCount = 0;
    bool buttonsSwapped = false;
    AlphaBlendEntry alphaBlend = nullptr;
    TransparentBltEntry transparentBlt = nullptr;
    // The platform version read when the blend library was loaded.
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD platformId = 0;
};

ModuleState& moduleState();
HINSTANCE moduleInstance();
// The window class name of this module: "Plugin" and the module handle in upper-case hex.
const char* windowClassName();

// Live mouse-button and modifier state, with the system's button swap applied.
int32_t liveButtonState();

// The GDI objects one draw context owns and the ones it replaced in its device context.
struct ContextObjects {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HGDIOBJ previousPen = nullptr;
    HGDIOBJ previousBrush = nullptr;
    HGDIOBJ previousFont = nullptr;
    // Offscreen contexts: their memory bitmap and what it replaced.
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

inline COLORREF platformColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return RGB(red, green, blue);
}

} // namespace gui::win32
