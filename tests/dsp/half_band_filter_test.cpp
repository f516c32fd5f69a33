// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/half_band_filter.h"

#include "network_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace quarvine {
namespace {

TEST(HalfBandFilter, ImpulseGivesTheProductsOfEachChainsCoefficients)
{
    HalfBandFilter f;
    initHalfBandFilter(f);
    SubSamples s = upsample(f, 1.0);
    EXPECT_NEAR(s.first, 0.0037350, 5e-8);
    EXPECT_NEAR(s.second, 0.030255, 5e-7);
    const double* c = kHalfBandCoefficients;
    EXPECT_DOUBLE_EQ(s.first, c[0] * c[2] * c[4] * c[6] * c[8] * c[10]);
    EXPECT_DOUBLE_EQ(s.second, c[1] * c[3] * c[5] * c[7] * c[9] * c[11]);
}

TEST(HalfBandFilter, ConstantInputPassesWithUnitGainThroughBothFilters)
{
    HalfBandFilter up, down;
    initHalfBandFilter(up);
    initHalfBandFilter(down);
    double out = 0.0;
    SubSamples s{};
    for (int i = 0; i < 5000; ++i) {
        s = upsample(up, 1.0);
        out = downsample(down, s.first, s.second);
    }
    EXPECT_NEAR(s.first, 1.0, 1e-12);
    EXPECT_NEAR(s.second, 1.0, 1e-12);
    EXPECT_NEAR(out, 1.0, 1e-12);
}

TEST(HalfBandFilter, DecimatorFeedsTheLaterSubSampleToChainZero)
{
    HalfBandFilter f;
    initHalfBandFilter(f);
    // First call from zero state: chain 0 gives product of even coefficients times its input.
    const double* c = kHalfBandCoefficients;
    double even = c[0] * c[2] * c[4] * c[6] * c[8] * c[10];
    double odd = c[1] * c[3] * c[5] * c[7] * c[9] * c[11];
    EXPECT_DOUBLE_EQ(downsample(f, 1.0, 0.0), 0.5 * odd);
    initHalfBandFilter(f);
    EXPECT_DOUBLE_EQ(downsample(f, 0.0, 1.0), 0.5 * even);
}

TEST(HalfBandFilter, InterpolatedSineKeepsItsLevelAndImageIsRejected)
{
    // A 1 kHz sine at 44.1 kHz, up and down again: same level out. The interpolation image at
    // 43.1 kHz must be strongly attenuated in the sub-sample stream.
    HalfBandFilter up, down;
    initHalfBandFilter(up);
    initHalfBandFilter(down);
    const double w = 2.0 * test::kPi * 1000.0 / 44100.0;
    double peakOut = 0.0, imageRe = 0.0, imageIm = 0.0;
    const double wImage = 2.0 * test::kPi * (44100.0 - 1000.0) / 88200.0;
    for (int n = 0; n < 44100; ++n) {
        SubSamples s = upsample(up, std::sin(w * n));
        double out = downsample(down, s.first, s.second);
        if (n > 4410) {
            peakOut = std::max(peakOut, std::abs(out));
            imageRe += s.first * std::cos(wImage * 2 * n) + s.second * std::cos(wImage * (2 * n + 1));
            imageIm += s.first * std::sin(wImage * 2 * n) + s.second * std::sin(wImage * (2 * n + 1));
        }
    }
    EXPECT_NEAR(peakOut, 1.0, 1e-3);
    double imageLevel = std::hypot(imageRe, imageIm) / ((44100 - 4411) * 2) * 2.0;
    EXPECT_LT(imageLevel, 1e-3);
}

} // namespace
} // namespace quarvine
