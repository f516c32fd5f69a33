// SPDX-License-Identifier: GPL-3.0-or-later
// A block of 32-bit pixels (0x00RRGGBB), the device of every portable draw context.
#pragma once

#include "gui/cgeometry.h"

#include <cstdint>
#include <vector>

namespace gui::portable {

struct PixelSurface {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    PixelSurface(int32_t width, int32_t height, uint32_t fill = 0)
        : width(width < 0 ? 0 : width), height(height < 0 ? 0 : height),
          pixels(static_cast<size_t>(this->width) * static_cast<size_t>(this->height), fill)
    {
    }
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
    CRect bounds() const { return {0, 0, width, height}; }
};

inline constexpr uint32_t packColor(const CColor& c)
{
    return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | uint32_t(c.blue);
}

inline constexpr uint32_t packRgb(uint8_t r, uint8_t g, uint8_t b)
{
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

} // namespace gui::portable
