// SPDX-License-Identifier: GPL-3.0-or-later
// In-process tests of the Win32 backend: the test program is the module, carrying the bitmaps.
#pragma once

#include "win32_support.h"

#include "gui/cview.h"
#include "gui/cdrawcontext.h"
#include "host/module_instance.h"

namespace win32_test {

// Set before the first frame formats the module's window class name.
inline const bool moduleInstanceSet = (hInstance = GetModuleHandleA(nullptr), true);

// A view that records what reaches it and paints itself in one colour.
class RecordingView : public gui::CView {
public:
    explicit RecordingView(const gui::CRect& size) : CView(size) {}

    void draw(gui::CDrawContext* context) override { paint(context); }
    void drawRect(gui::CDrawContext* context, const gui::CRect& update) override
    {
        lastUpdate = update;
        ++rectDraws;
        paint(context);
    }
    void mouse(gui::CDrawContext*, gui::CPoint& where, int32_t buttons) override
    {
        ++presses;
        lastPress = where;
        lastButtons = buttons;
    }
    bool onWheel(gui::CDrawContext*, const gui::CPoint& where, float distance) override
    {
        ++wheels;
        lastWheel = where;
        lastDistance = distance;
        return true;
    }
    void onMouseEntered() override { hovered = true; }
    void onMouseExited() override { hovered = false; }

    gui::CColor color{0, 255, 0, 255};
    int rectDraws = 0;
    gui::CRect lastUpdate;
    int presses = 0;
    gui::CPoint lastPress{-1, -1};
    int32_t lastButtons = -2;
    int wheels = 0;
    gui::CPoint lastWheel{-1, -1};
    float lastDistance = 0.0f;
    bool hovered = false;

private:
    void paint(gui::CDrawContext* context)
    {
        context->setFillColor(color);
        // fillRect leaves the left column and top row: start one before them.
        context->fillRect(gui::CRect(size.left - 1, size.top - 1, size.right, size.bottom));
        setDirty(false);
    }
};

// A plain window to be the frame's parent (or the parent's parent).
HWND makeWindow(HWND parent, int x, int y, int width, int height, DWORD style = 0);

} // namespace win32_test
