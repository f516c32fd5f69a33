// SPDX-License-Identifier: GPL-3.0-or-later
// A view that records what reaches it, and bitmaps of one colour for drawing tests.
#pragma once

#include "gui/cview.h"
#include "gui/cbitmap.h"
#include "gui/portable/pixel_surface.h"

namespace editor_test {

class ProbeView : public gui::CView {
public:
    explicit ProbeView(const gui::CRect& size, int32_t keyAnswer = -1) : CView(size), keyAnswer(keyAnswer) {}

    void draw(gui::CDrawContext* context) override
    {
        ++draws;
        CView::draw(context);
    }
    void mouse(gui::CDrawContext*, gui::CPoint& where, int32_t) override
    {
        ++presses;
        lastPress = where;
    }
    int32_t onKeyDown(VstKeyCode&) override
    {
        ++keys;
        return keyAnswer;
    }
    bool onWheel(gui::CDrawContext*, const gui::CPoint&, float) override
    {
        ++wheels;
        return true;
    }

    int32_t keyAnswer;
    int draws = 0;
    int presses = 0;
    int keys = 0;
    int wheels = 0;
    gui::CPoint lastPress{-1, -1};
};

inline gui::CBitmap* makeSolidBitmap(int32_t width, int32_t height, uint32_t color)
{
    auto* bitmap = new gui::CBitmap(0);
    bitmap->setPlatformBitmap(new gui::portable::PixelSurface(width, height, color), width, height);
    return bitmap;
}

} // namespace editor_test
