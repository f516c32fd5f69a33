// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmaps from the module's resources, drawn with GDI.
#include "gui/cbitmap.h"

#include "gui/cdrawcontext.h"
#include "gui/win32/win32_module.h"

namespace gui {

namespace {

HDC dcOf(CDrawContext* context)
{
    return context ? static_cast<HDC>(context->getSystemContext()) : nullptr;
}

// A memory device context with a bitmap selected, restored and deleted with the scope.
class SelectedBitmap {
public:
    SelectedBitmap(HDC compatible, HBITMAP bitmap) : dc(CreateCompatibleDC(compatible))
    {
        if (dc)
            previous = SelectObject(dc, bitmap);
    }
    ~SelectedBitmap()
    {
        if (!dc)
            return;
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC get() const { return dc; }

private:
    HDC dc;
    HGDIOBJ previous = nullptr;
};

} // namespace

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& source)
{
    HDC target = dcOf(context);
    if (!platformBitmap || !target)
        return;
    SelectedBitmap bitmap(target, static_cast<HBITMAP>(platformBitmap));
    BitBlt(target, rect.left + context->offset.h, rect.top + context->offset.v, rect.width(), rect.height(),
           bitmap.get(), source.h, source.v, SRCCOPY);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& source)
{
    HDC target = dcOf(context);
    if (!platformBitmap || !target)
        return;
    const int x = rect.left + context->offset.h;
    const int y = rect.top + context->offset.v;
    const int w = rect.width();
    const int h = rect.height();
    const COLORREF transparent =
        win32::platformColor(transparentColor.red, transparentColor.green, transparentColor.blue);
    SelectedBitmap bitmap(target, static_cast<HBITMAP>(platformBitmap));
    HDC sourceDc = bitmap.get();
    if (auto transparentBlt = win32::moduleState().transparentBlt) {
        transparentBlt(target, x, y, w, h, sourceDc, source.h, source.v, w, h, transparent);
        return;
    }
    // Without the platform's transparent blit: a one-bit mask and three raster operations.
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HDC maskDc = CreateCompatibleDC(target);
    HGDIOBJ previousMask = SelectObject(maskDc, mask);
    const COLORREF oldBackground = SetBkColor(target, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
    const COLORREF oldSourceBackground = SetBkColor(sourceDc, transparent);
    BitBlt(maskDc, 0, 0, w, h, sourceDc, source.h, source.v, SRCCOPY);
    SetBkColor(sourceDc, oldSourceBackground);
    BitBlt(target, x, y, w, h, sourceDc, source.h, source.v, SRCINVERT);
    BitBlt(target, x, y, w, h, maskDc, 0, 0, SRCAND);
    BitBlt(target, x, y, w, h, sourceDc, source.h, source.v, SRCINVERT);
    SelectObject(maskDc, previousMask);
    DeleteDC(maskDc);
    DeleteObject(mask);
    SetBkColor(target, oldBackground);
    SetTextColor(target, oldText);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& source, uint8_t alpha)
{
    HDC target = dcOf(context);
    const auto& state = win32::moduleState();
    // Without the platform's blend entry there is nothing to blend with: draw nothing.
    if (!platformBitmap || !target || !state.alphaBlend)
        return;
    const int x = rect.left + context->offset.h;
    const int y = rect.top + context->offset.v;
    const int w = rect.width();
    const int h = rect.height();
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    SelectedBitmap bitmap(target, static_cast<HBITMAP>(platformBitmap));
    if (state.majorVersion == 4 && state.minorVersion == 10 && state.platformId == VER_PLATFORM_WIN32_WINDOWS) {
        // That platform version blends only from the origin of a bitmap: blend from a copy.
        HBITMAP copy = CreateCompatibleBitmap(target, w, h);
        SelectedBitmap copyDc(target, copy);
        BitBlt(copyDc.get(), 0, 0, w, h, bitmap.get(), source.h, source.v, SRCCOPY);
        state.alphaBlend(target, x, y, w, h, copyDc.get(), 0, 0, w, h, blend);
        DeleteObject(copy);
        return;
    }
    state.alphaBlend(target, x, y, w, h, bitmap.get(), source.h, source.v, w, h, blend);
}

void CBitmap::dispose()
{
    if (platformBitmap)
        DeleteObject(static_cast<HBITMAP>(platformBitmap));
    if (maskBitmap)
        DeleteObject(static_cast<HBITMAP>(maskBitmap));
    platformBitmap = nullptr;
    maskBitmap = nullptr;
    width = 0;
    height = 0;
}

bool CBitmap::loadFromResource(int32_t id)
{
    dispose();
    resourceId = id;
    HBITMAP bitmap = LoadBitmapA(win32::moduleInstance(), MAKEINTRESOURCEA(id));
    if (!bitmap)
        return false;
    BITMAP info{};
    if (!GetObjectA(bitmap, sizeof info, &info)) {
        DeleteObject(bitmap);
        return false;
    }
    setPlatformBitmap(bitmap, info.bmWidth, info.bmHeight);
    return true;
}

bool CBitmap::loadFromPath(const void*)
{
    dispose();
    return false;
}

void CBitmap::setPlatformBitmap(void* bitmap, int32_t newWidth, int32_t newHeight)
{
    if (bitmap != platformBitmap && platformBitmap)
        DeleteObject(static_cast<HBITMAP>(platformBitmap));
    platformBitmap = bitmap;
    width = bitmap ? newWidth : 0;
    height = bitmap ? newHeight : 0;
}

} // namespace gui
