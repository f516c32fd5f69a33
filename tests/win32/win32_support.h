// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the Windows tests: paths, pictures (BMP in, PNG out), window capture, message
// pumping and real input.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace win32_test {

// A build-time path of this machine as the Windows side sees it (through the Z: drive).
std::string windowsPath(const std::string& unixPath);

// 0x00RRGGBB pixels, top row first.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Decodes an uncompressed 24-bit or 8-bit palettised BMP file; empty on failure.
Picture readBmp(const std::string& path);
// Writes an RGB PNG with stored (uncompressed) deflate blocks.
bool writePng(const std::string& path, const Picture& picture);
// The client area of a window as it is on screen.
Picture captureWindow(HWND window);
// The pixels of a device context's area.
Picture captureDc(HDC dc, int32_t width, int32_t height);

// Dispatches the thread's pending messages for about the given time.
void pumpMessages(DWORD milliseconds);

// Real input through the system's input queue.
void moveCursorTo(int32_t x, int32_t y);
void pressLeft(bool down);
void pressKey(WORD key, bool down);

} // namespace win32_test
