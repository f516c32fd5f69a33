// SPDX-License-Identifier: GPL-3.0-or-later
// Points, rectangles and colours of the view tree. Drawing covers left..right-1 and top..bottom-1;
// mouse hit tests count all four edges as inside.
#pragma once

#include <algorithm>
#include <cstdint>

namespace gui {

struct CPoint {
    int32_t h = 0;
    int32_t v = 0;

    constexpr CPoint() = default;
    constexpr CPoint(int32_t h, int32_t v) : h(h), v(v) {}
    CPoint& offset(int32_t dh, int32_t dv)
    {
        h += dh;
        v += dv;
        return *this;
    }
    friend constexpr bool operator==(const CPoint&, const CPoint&) = default;
};

struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : left(left), top(top), right(right), bottom(bottom)
    {
    }
    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    constexpr CPoint topLeft() const { return {left, top}; }
    CRect& offset(int32_t dh, int32_t dv)
    {
        left += dh;
        right += dh;
        top += dv;
        bottom += dv;
        return *this;
    }
    CRect& moveTo(int32_t h, int32_t v) { return offset(h - left, v - top); }
    // Intersection; an empty result keeps zero width or height at a defined place.
    CRect& bound(const CRect& other)
    {
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::min(right, other.right);
        bottom = std::min(bottom, other.bottom);
        if (bottom < top)
            bottom = top;
        if (right < left)
            right = left;
        return *this;
    }
    constexpr bool pointInside(const CPoint& p) const
    {
        return p.h >= left && p.h <= right && p.v >= top && p.v <= bottom;
    }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    friend constexpr bool operator==(const CColor&, const CColor&) = default;
};

inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kTransparentWhiteCColor{255, 255, 255, 0};

// The mouse-button state word read from the live input.
enum CButtonState : int32_t {
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64,
    kModifierMask = kShift | kControl | kAlt | kApple,
};

// Virtual key codes and modifier bits of the host's key record.
enum VirtualKey : uint8_t { VKEY_TAB = 2, VKEY_LEFT = 11, VKEY_UP = 12, VKEY_RIGHT = 13, VKEY_DOWN = 14 };
enum KeyModifier : uint8_t { MODIFIER_SHIFT = 1, MODIFIER_ALTERNATE = 2, MODIFIER_COMMAND = 4, MODIFIER_CONTROL = 8 };

} // namespace gui
