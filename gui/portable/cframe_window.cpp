// SPDX-License-Identifier: GPL-3.0-or-later
// Window services of the frame on the portable backend: the window is a pixel surface.
#include "gui/cdrawcontext.h"
#include "gui/cdroptarget.h"
#include "gui/cframe.h"
#include "gui/portable/pixel_surface.h"
#include "gui/portable/portable_window.h"
#include "gui/portable/window_presenter.h"

namespace gui {

namespace {

constexpr uint32_t kButtonFace = 0xf0f0f0;
int32_t classUseCount = 0;
int32_t cursorType = kCursorDefault;

portable::PixelSurface* surfaceOf(void* window)
{
    return static_cast<portable::PixelSurface*>(window);
}

} // namespace

bool CFrame::platformCreateWindow()
{
    auto* surface = new portable::PixelSurface(size.width(), size.height(), kButtonFace);
    // A parent of the window system must get a real window; without one the frame has none.
    if (portable::presenter::wantsWindow(parentWindow) && !portable::presenter::attach(*this, *surface, parentWindow)) {
        delete surface;
        return false;
    }
    ++classUseCount;
    window = surface;
    return true;
}

void CFrame::platformDestroyWindow()
{
    portable::presenter::detach(*this);
    delete surfaceOf(window);
    window = nullptr;
    --classUseCount;
}

void CFrame::platformLoadBlendLibrary() {}
void CFrame::platformFreeBlendLibrary() {}
void CFrame::platformOleInitialize() {}
void CFrame::platformOleUninitialize() {}

bool CFrame::platformRegisterDrop()
{
    return dropTarget != nullptr;
}

void CFrame::platformRevokeDrop()
{
    if (dropTarget)
        dropTarget->release();
    dropTarget = nullptr;
}

void* CFrame::platformCurrentCursor() const
{
    return nullptr;
}

void CFrame::platformSetCursor(int32_t type)
{
    // Types without a cursor of their own show the default one.
    cursorType = (type >= kCursorWait && type <= kCursorHand && type != kCursorCopy) ? type : kCursorDefault;
    portable::presenter::setCursor(*this, cursorType);
}

void CFrame::platformResizeWindow(int32_t width, int32_t height)
{
    if (!window)
        return;
    delete surfaceOf(window);
    auto* surface = new portable::PixelSurface(width, height, kButtonFace);
    window = surface;
    portable::presenter::resized(*this, *surface);
}

bool CFrame::platformGrowEnclosingWindows(int32_t width, int32_t height)
{
    // No windows enclose the portable frame; only its own grows.
    platformResizeWindow(width, height);
    return false;
}

CPoint CFrame::platformWindowOrigin() const
{
    return {};
}

bool CFrame::platformGetSize(CRect* rect) const
{
    if (!window || !rect)
        return false;
    *rect = surfaceOf(window)->bounds();
    return true;
}

bool CFrame::platformGetPosition(int32_t& x, int32_t& y) const
{
    if (!window)
        return false;
    x = 0;
    y = 0;
    return true;
}

namespace portable {

const PixelSurface* windowPixels(const CFrame& frame)
{
    return static_cast<const PixelSurface*>(frame.getSystemWindow());
}

void paint(CFrame& frame, const CRect& rect)
{
    if (!frame.getSystemWindow() || rect.isEmpty())
        return;
    CDrawContext* context = new CDrawContext(&frame, frame.getSystemWindow(), frame.getSystemWindow());
    frame.drawRect(context, rect);
    context->forget();
}

void buttonDown(CFrame& frame, const CPoint& where)
{
    CDrawContext* context = frame.createDrawContext();
    CPoint point = where;
    frame.mouse(context, point, -1);
    context->forget();
}

bool wheel(CFrame& frame, const CPoint& screenWhere, int16_t delta)
{
    CDrawContext* context = frame.createDrawContext();
    const float distance = static_cast<float>(delta / 120.0);
    const bool handled = frame.onWheel(context, screenWhere, distance);
    context->forget();
    return handled;
}

int32_t windowClassUseCount()
{
    return classUseCount;
}

int32_t currentCursorType()
{
    return cursorType;
}

} // namespace portable

} // namespace gui
