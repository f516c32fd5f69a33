// SPDX-License-Identifier: GPL-3.0-or-later
// Offscreen contexts: a memory device context with a bitmap compatible with the frame window.
#include "gui/coffscreencontext.h"

#include "gui/cframe.h"
#include "gui/win32/win32_module.h"

#include <algorithm>

namespace gui {

COffscreenContext::COffscreenContext(CFrame* frame, int32_t width, int32_t height, const CColor& background)
    : CDrawContext(frame, NoDevice{}), width(width), height(height), backgroundColor(background)
{
    clipRect = CRect(std::min(0, width), std::min(0, height), std::max(0, width), std::max(0, height));
    HWND frameWindow = frame ? static_cast<HWND>(frame->getSystemWindow()) : nullptr;
    HDC windowDc = GetDC(frameWindow);
    HDC memory = CreateCompatibleDC(windowDc);
    auto& objects = *static_cast<win32::ContextObjects*>(platformState);
    objects.bitmap = CreateCompatibleBitmap(windowDc, width, height);
    if (memory && objects.bitmap)
        objects.previousBitmap = SelectObject(memory, objects.bitmap);
    ReleaseDC(frameWindow, windowDc);
    systemContext = memory;
    // The pen, brush and font go into the memory device, so that the background outline below
    // is drawn in the background colour even when that is the default pen colour.
    initialiseDrawingState();
    setFillColor(backgroundColor);
    setFrameColor(backgroundColor);
    fillRect(CRect(0, 0, width, height));
    drawRect(CRect(0, 0, width, height));
}

COffscreenContext::~COffscreenContext()
{
    auto& objects = *static_cast<win32::ContextObjects*>(platformState);
    if (HDC memory = static_cast<HDC>(systemContext)) {
        for (HGDIOBJ previous : {objects.previousBrush, objects.previousPen, objects.previousFont, objects.previousBitmap})
            if (previous)
                SelectObject(memory, previous);
        DeleteDC(memory);
    }
    objects.previousBrush = objects.previousPen = objects.previousFont = objects.previousBitmap = nullptr;
    systemContext = nullptr;
    if (objects.bitmap)
        DeleteObject(objects.bitmap);
    objects.bitmap = nullptr;
}

void COffscreenContext::copyTo(CDrawContext* destination, const CRect& destinationRect, const CPoint& source)
{
    HDC target = destination ? static_cast<HDC>(destination->getSystemContext()) : nullptr;
    if (!target || !systemContext)
        return;
    BitBlt(target, destinationRect.left, destinationRect.top, destinationRect.width(), destinationRect.height(),
           static_cast<HDC>(systemContext), source.h, source.v, SRCCOPY);
}

} // namespace gui
