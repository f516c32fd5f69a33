// SPDX-License-Identifier: GPL-3.0-or-later
// Draw contexts on GDI device contexts.
#include "gui/cdrawcontext.h"

#include "gui/cframe.h"
#include "gui/platform.h"
#include "gui/win32/win32_module.h"

namespace gui {

namespace {

struct FontEntry {
    int32_t size;
    const char* face;
};

// The module's standard fonts by font id.
constexpr FontEntry kStandardFonts[] = {
    {12, "Arial"}, {18, "Arial"}, {14, "Arial"}, {12, "Arial"},
    {11, "Arial"}, {10, "Arial"}, {9, "Arial"},  {13, "Symbol"},
};

win32::ContextObjects& objectsOf(void* state)
{
    return *static_cast<win32::ContextObjects*>(state);
}

HDC dcOf(void* systemContext)
{
    return static_cast<HDC>(systemContext);
}

COLORREF toPlatform(const CColor& color)
{
    return win32::platformColor(color.red, color.green, color.blue);
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, NoDevice) : frame(frame)
{
    platformState = new win32::ContextObjects;
    clipRect = frame ? frame->getSizeRect() : CRect(0, 0, 1000, 1000);
}

CDrawContext::CDrawContext(CFrame* frame, void* device, void* window) : CDrawContext(frame, NoDevice{})
{
    this->window = window;
    systemContext = device;
    if (!systemContext && window) {
        systemContext = GetDC(static_cast<HWND>(window));
        ownsSystemContext = systemContext != nullptr;
    }
    if (window) {
        RECT rect{};
        GetWindowRect(static_cast<HWND>(window), &rect);
        offsetScreen = CPoint(rect.left, rect.top);
    }
    initialiseDrawingState();
}

CDrawContext::~CDrawContext()
{
    auto& objects = objectsOf(platformState);
    HDC dc = dcOf(systemContext);
    if (dc) {
        if (objects.previousBrush)
            SelectObject(dc, objects.previousBrush);
        if (objects.previousPen)
            SelectObject(dc, objects.previousPen);
        if (objects.previousFont)
            SelectObject(dc, objects.previousFont);
    }
    if (objects.brush)
        DeleteObject(objects.brush);
    if (objects.pen)
        DeleteObject(objects.pen);
    if (objects.font)
        DeleteObject(objects.font);
    if (ownsSystemContext && dc)
        ReleaseDC(static_cast<HWND>(window), dc);
    delete &objects;
    platformState = nullptr;
}

void CDrawContext::initialiseDrawingState()
{
    auto& objects = objectsOf(platformState);
    HDC dc = dcOf(systemContext);
    if (dc) {
        objects.previousBrush = GetCurrentObject(dc, OBJ_BRUSH);
        objects.previousPen = GetCurrentObject(dc, OBJ_PEN);
        objects.previousFont = GetCurrentObject(dc, OBJ_FONT);
        SetBkMode(dc, TRANSPARENT);
    }
    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    if (fontId != 0) {
        fontId = 0;
        fontStyle = 0;
        fontSize = kStandardFonts[0].size;
        LOGFONTA logFont{};
        logFont.lfHeight = -fontSize;
        logFont.lfWeight = FW_BOLD;
        logFont.lfCharSet = ANSI_CHARSET;
        logFont.lfOutPrecision = OUT_STRING_PRECIS;
        logFont.lfClipPrecision = CLIP_STROKE_PRECIS;
        logFont.lfQuality = DEFAULT_QUALITY;
        logFont.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        lstrcpynA(logFont.lfFaceName, kStandardFonts[0].face, LF_FACESIZE);
        HFONT font = CreateFontIndirectA(&logFont);
        if (font) {
            if (dc)
                SelectObject(dc, font);
            if (objects.font)
                DeleteObject(objects.font);
            objects.font = font;
        }
    }
    setDrawMode(kCopyMode);
}

void CDrawContext::makePen()
{
    auto& objects = objectsOf(platformState);
    LOGPEN logPen{};
    logPen.lopnStyle = PS_SOLID;
    logPen.lopnWidth.x = lineWidth;
    logPen.lopnColor = toPlatform(frameColor);
    HPEN pen = CreatePenIndirect(&logPen);
    if (!pen)
        return;
    ++platformChanges;
    if (HDC dc = dcOf(systemContext))
        SelectObject(dc, pen);
    if (objects.pen)
        DeleteObject(objects.pen);
    objects.pen = pen;
}

void CDrawContext::setClipRect(const CRect& clip)
{
    const CRect device = CRect(clip).offset(offset.h, offset.v);
    if (device == clipRect)
        return;
    clipRect = device;
    ++platformChanges;
    if (HDC dc = dcOf(systemContext)) {
        HRGN region = CreateRectRgn(device.left, device.top, device.right, device.bottom);
        SelectClipRgn(dc, region);
        DeleteObject(region);
    }
}

void CDrawContext::setFillColor(const CColor& color)
{
    if (color == fillColor)
        return;
    fillColor = color;
    ++platformChanges;
    HDC dc = dcOf(systemContext);
    if (dc)
        SetBkColor(dc, toPlatform(color));
    LOGBRUSH logBrush{BS_SOLID, toPlatform(color), 0};
    HBRUSH brush = CreateBrushIndirect(&logBrush);
    if (!brush)
        return;
    auto& objects = objectsOf(platformState);
    if (dc)
        SelectObject(dc, brush);
    if (objects.brush)
        DeleteObject(objects.brush);
    objects.brush = brush;
}

void CDrawContext::setFontColor(const CColor& color)
{
    fontColor = color;
    if (HDC dc = dcOf(systemContext))
        SetTextColor(dc, toPlatform(color));
}

void CDrawContext::setDrawMode(int32_t mode)
{
    if (mode == drawMode)
        return;
    drawMode = mode;
    if (HDC dc = dcOf(systemContext))
        SetROP2(dc, R2_COPYPEN);
}

void CDrawContext::moveTo(const CPoint& point)
{
    penLocation = point;
    if (HDC dc = dcOf(systemContext))
        MoveToEx(dc, point.h + offset.h, point.v + offset.v, nullptr);
}

void CDrawContext::lineTo(const CPoint& point)
{
    if (HDC dc = dcOf(systemContext)) {
        // The platform pen may have been moved by others: start from our own location.
        MoveToEx(dc, penLocation.h + offset.h, penLocation.v + offset.v, nullptr);
        LineTo(dc, point.h + offset.h, point.v + offset.v);
    }
    penLocation = point;
}

void CDrawContext::fillRect(const CRect& rect)
{
    HDC dc = dcOf(systemContext);
    auto& objects = objectsOf(platformState);
    if (!dc || !objects.brush)
        return;
    RECT area{rect.left + 1 + offset.h, rect.top + 1 + offset.v, rect.right + offset.h, rect.bottom + offset.v};
    HGDIOBJ pen = SelectObject(dc, GetStockObject(NULL_PEN));
    FillRect(dc, &area, objects.brush);
    SelectObject(dc, pen);
}

int32_t CDrawContext::getMouseButtons()
{
    return win32::liveButtonState();
}

} // namespace gui
