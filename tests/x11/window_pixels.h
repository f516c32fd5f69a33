// SPDX-License-Identifier: GPL-3.0-or-later
// What the server shows of a window's rectangle. Include after the test framework: Xlib defines
// macros such as None and Bool.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <vector>

namespace x11_test {

// 0x00RRGGBB, top row first; empty when the window cannot be read.
inline std::vector<uint32_t> windowPixels(Display* display, Window window, int left, int top, int width, int height)
{
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(display, window, left, top, width, height, AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffff);
    XDestroyImage(image);
    return pixels;
}

} // namespace x11_test
