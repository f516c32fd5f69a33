// SPDX-License-Identifier: GPL-3.0-or-later
// While Bass, Middle or Treble glide, the tone stack's coefficients move sub-sample by sub-sample
// along a straight line from the set for one network update point to the set for the next: a
// recursive filter whose coefficients jumped every few hundred microseconds would whine at the
// update rate. At rest the stack refreshes from the controls as it always did.
#pragma once

#include <cstdint>

namespace quarvine {

struct ToneStackRamp {
    double from[10] = {};          // coefficients at the segment's start (runtimeCoefficients order)
    double to[10] = {};            // coefficients at its end
    std::int64_t segmentStart = 0; // glide position of the segment's first frame
    std::int64_t subSamples = 0;   // sub-samples in the segment; 0 when the stack does not ramp
};

// The coefficient set for sub-sample index (0 first) of the segment.
inline void toneStackRampAt(const ToneStackRamp& r, std::int64_t index, double* c)
{
    const double t = static_cast<double>(index + 1) / static_cast<double>(r.subSamples);
    for (int i = 0; i < 10; ++i)
        c[i] = r.from[i] + (r.to[i] - r.from[i]) * t;
}

} // namespace quarvine
