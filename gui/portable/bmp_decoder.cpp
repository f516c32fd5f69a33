// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/portable/bmp_decoder.h"

#include <cstdint>

namespace gui::portable {

namespace {

uint32_t readU32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t readU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

std::unique_ptr<PixelSurface> decodeBmp(const unsigned char* data, size_t size)
{
    constexpr size_t kFileHeader = 14;
    if (!data || size < kFileHeader + 40 || data[0] != 'B' || data[1] != 'M')
        return nullptr;
    const uint32_t pixelOffset = readU32(data + 10);
    const unsigned char* info = data + kFileHeader;
    const uint32_t infoSize = readU32(info);
    const int32_t width = static_cast<int32_t>(readU32(info + 4));
    const int32_t rawHeight = static_cast<int32_t>(readU32(info + 8));
    const uint16_t bitCount = readU16(info + 14);
    const uint32_t compression = readU32(info + 16);
    uint32_t colorsUsed = readU32(info + 32);
    if (width <= 0 || rawHeight == 0 || compression != 0 || (bitCount != 24 && bitCount != 8))
        return nullptr;
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    const size_t stride = (static_cast<size_t>(width) * bitCount / 8 + 3) & ~size_t(3);
    if (pixelOffset > size || stride * static_cast<size_t>(height) > size - pixelOffset)
        return nullptr;

    uint32_t palette[256] = {};
    if (bitCount == 8) {
        if (colorsUsed == 0 || colorsUsed > 256)
            colorsUsed = 256;
        const unsigned char* entries = info + infoSize;
        if (entries + colorsUsed * 4 > data + size)
            return nullptr;
        for (uint32_t i = 0; i < colorsUsed; ++i)
            palette[i] = packRgb(entries[4 * i + 2], entries[4 * i + 1], entries[4 * i]);
    }

    auto surface = std::make_unique<PixelSurface>(width, height);
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* row = data + pixelOffset + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        for (int32_t x = 0; x < width; ++x) {
            if (bitCount == 24) {
                const unsigned char* p = row + 3 * x;
                surface->at(x, y) = packRgb(p[2], p[1], p[0]);
            } else {
                surface->at(x, y) = palette[row[x]];
            }
        }
    }
    return surface;
}

} // namespace gui::portable
