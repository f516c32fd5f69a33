// SPDX-License-Identifier: GPL-3.0-or-later
// The Oversampling parameter: three positions on the host's 0..1 range, 2x (today's chain, the
// default), 4x and 8x.
#pragma once

namespace quarvine {

inline constexpr int kOversamplingPositions = 3;
inline constexpr const char* kOversamplingTexts[kOversamplingPositions] = {"2x", "4x", "8x"};

// Equal thirds of the range; the editor's switch and hosts set 0, 0.5 and 1. Compared, not
// converted, so that values far off the range stay at its ends.
inline int oversamplingPosition(float value)
{
    const float scaled = value * kOversamplingPositions;
    return scaled < 1.0f ? 0 : scaled < 2.0f ? 1 : 2;
}

inline int oversamplingFactor(float value)
{
    return 2 << oversamplingPosition(value);
}

} // namespace quarvine
