// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/portable/raster.h"

#include <cstdlib>

namespace gui::portable {

void fillPixels(PixelSurface& surface, const CRect& rect, const CRect& clip, uint32_t color)
{
    const CRect area = CRect(rect).bound(clip).bound(surface.bounds());
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x)
            surface.at(x, y) = color;
}

void linePixels(PixelSurface& surface, CPoint a, CPoint b, const CRect& clip, uint32_t color)
{
    const CRect area = CRect(clip).bound(surface.bounds());
    const int32_t dx = std::abs(b.h - a.h);
    const int32_t dy = -std::abs(b.v - a.v);
    const int32_t sx = a.h < b.h ? 1 : -1;
    const int32_t sy = a.v < b.v ? 1 : -1;
    int32_t error = dx + dy;
    while (a != b) {
        if (a.h >= area.left && a.h < area.right && a.v >= area.top && a.v < area.bottom)
            surface.at(a.h, a.v) = color;
        const int32_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            a.h += sx;
        }
        if (twice <= dx) {
            error += dx;
            a.v += sy;
        }
    }
}

namespace {

uint32_t blend(uint32_t src, uint32_t dst, uint32_t alpha)
{
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t s = (src >> shift) & 0xff;
        const uint32_t d = (dst >> shift) & 0xff;
        result |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
    }
    return result;
}

} // namespace

void blitPixels(const PixelSurface& source, PixelSurface& destination, const BlitRequest& r)
{
    const CRect area = CRect(r.destination).bound(r.clip).bound(destination.bounds());
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const int32_t sy = r.source.v + (y - r.destination.top);
        if (sy < 0 || sy >= source.height)
            continue;
        for (int32_t x = area.left; x < area.right; ++x) {
            const int32_t sx = r.source.h + (x - r.destination.left);
            if (sx < 0 || sx >= source.width)
                continue;
            const uint32_t pixel = source.at(sx, sy);
            uint32_t& target = destination.at(x, y);
            switch (r.mode) {
            case BlitMode::opaque:
                target = pixel;
                break;
            case BlitMode::transparent:
                if (pixel != r.transparentColor)
                    target = pixel;
                break;
            case BlitMode::alpha:
                target = blend(pixel, target, r.alpha);
                break;
            }
        }
    }
}

} // namespace gui::portable
