// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32_support.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace win32_test {

std::string windowsPath(const std::string& unixPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return unixPath;
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

namespace {

uint32_t read32(const std::vector<uint8_t>& d, size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t(d[at + 3]) << 24);
}

uint16_t read16(const std::vector<uint8_t>& d, size_t at)
{
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t crc32(const uint8_t* data, size_t size)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body)
{
    put32(out, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, crc32(typed.data(), typed.size()));
}

} // namespace

Picture readBmp(const std::string& path)
{
    std::ifstream file(windowsPath(path), std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Picture picture;
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M')
        return picture;
    const uint32_t dataOffset = read32(d, 10);
    const uint32_t headerSize = read32(d, 14);
    const int32_t width = static_cast<int32_t>(read32(d, 18));
    const int32_t rawHeight = static_cast<int32_t>(read32(d, 22));
    const uint16_t bits = read16(d, 28);
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    uint32_t colours = read32(d, 46);
    if (bits == 8 && colours == 0)
        colours = 256;
    const size_t palette = 14 + headerSize;
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (bits != 24 && bits != 8)
        return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = dataOffset + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        for (int32_t x = 0; x < width; ++x) {
            size_t p;
            if (bits == 24) {
                p = row + 3 * static_cast<size_t>(x);
            } else {
                p = palette + 4 * static_cast<size_t>(d[row + x]);
            }
            picture.pixels[static_cast<size_t>(y) * width + x] = (uint32_t(d[p + 2]) << 16) | (d[p + 1] << 8) | d[p];
        }
    }
    return picture;
}

bool writePng(const std::string& path, const Picture& picture)
{
    // Raw scanlines, each behind filter byte 0.
    std::vector<uint8_t> raw;
    for (int32_t y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint32_t p = picture.at(x, y);
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    // A zlib stream of stored blocks (at most 65535 bytes each) and the Adler-32 of the data.
    std::vector<uint8_t> zlib{0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<uint8_t>(n));
        zlib.push_back(static_cast<uint8_t>(n >> 8));
        zlib.push_back(static_cast<uint8_t>(~n));
        zlib.push_back(static_cast<uint8_t>(~n >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        if (last)
            break;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(zlib, (b << 16) | a);

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(picture.width));
    put32(header, static_cast<uint32_t>(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", {});
    std::ofstream file(windowsPath(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

Picture captureDc(HDC dc, int32_t width, int32_t height)
{
    Picture picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section)
        return picture;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    picture.width = width;
    picture.height = height;
    const auto* p = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(p, p + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : picture.pixels)
        pixel &= 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(section);
    return picture;
}

Picture captureWindow(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Picture picture = captureDc(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return picture;
}

void pumpMessages(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

void moveCursorTo(int32_t x, int32_t y)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int32_t width = GetSystemMetrics(SM_CXSCREEN);
    const int32_t height = GetSystemMetrics(SM_CYSCREEN);
    // Normalised absolute coordinates, rounded to land on the pixel itself.
    input.mi.dx = static_cast<LONG>((x * 65536 + width / 2) / width);
    input.mi.dy = static_cast<LONG>((y * 65536 + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void pressLeft(bool down)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

void pressKey(WORD key, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

} // namespace win32_test
