// SPDX-License-Identifier: GPL-3.0-or-later
// Peak and RMS level of a stream, gathered chunk by chunk. Samples that are not finite are
// counted apart, so that one NaN neither hides the level nor reads as silence.
#pragma once

#include <cstddef>
#include <cstdint>

namespace render {

struct Level {
    double peakDb = 0.0;  // -inf for silence
    double rmsDb = 0.0;   // over every finite sample of every channel
};

class LevelMeter {
public:
    void add(const float* samples, std::size_t count);
    Level level() const;
    std::uint64_t nonFinite() const { return nonFiniteCount; }

private:
    double peak = 0.0, sumSquares = 0.0;
    std::uint64_t finiteCount = 0, nonFiniteCount = 0;
};

} // namespace render
