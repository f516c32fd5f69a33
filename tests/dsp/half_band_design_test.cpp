// SPDX-License-Identifier: GPL-3.0-or-later
// The half-band design: it gives the first doubling's published coefficients back, and the two
// further doublings pass the audio band untouched and stop its images by at least 100 dB, their
// responses computed here from the polyphase form, independently of the running filters.
#include "dsp/half_band_design.h"
#include "dsp/half_band_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace quarvine {
namespace {

// |H| at frequency f (fraction of the higher rate): H(z) = (A0(z^2) + z^-1 A1(z^2)) / 2 with the
// even coefficients' allpass sections in A0 and the odd ones' in A1.
template <int N>
double magnitude(const double (&c)[N], double f)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * std::numbers::pi * f);
    const std::complex<double> z2Inverse = zInverse * zInverse;
    std::complex<double> chain[2] = {1.0, 1.0};
    for (int j = 0; j < N; ++j)
        chain[j % 2] *= (c[j] + z2Inverse) / (1.0 + c[j] * z2Inverse);
    return std::abs(0.5 * (chain[0] + zInverse * chain[1]));
}

TEST(HalfBandDesign, GivesTheFirstDoublingsCoefficientsBack)
{
    double designed[12];
    designHalfBand(0.01, 12, designed);
    for (int j = 0; j < 12; ++j)
        EXPECT_NEAR(designed[j], kHalfBandCoefficients[j], 5e-7) << j;
}

TEST(HalfBandDesign, FurtherDoublingsPassTheAudioBandAndStopItsImagesBy100Decibels)
{
    for (double transition : {kOctaveTransition4x, kOctaveTransition8x}) {
        SCOPED_TRACE(transition);
        double c[OctaveHalfBand::kSections];
        designHalfBand(transition, OctaveHalfBand::kSections, c);
        const double passEdge = 0.25 - transition / 2.0, stopEdge = 0.25 + transition / 2.0;
        double worstPass = 0.0, worstStop = 0.0;
        for (int i = 0; i <= 1000; ++i) {
            const double t = i / 1000.0;
            worstPass = std::max(worstPass, std::abs(magnitude(c, passEdge * t) - 1.0));
            worstStop = std::max(worstStop, magnitude(c, stopEdge + (0.5 - stopEdge) * t));
        }
        EXPECT_LT(worstPass, 1e-9);
        EXPECT_LT(20.0 * std::log10(worstStop), -100.0);
    }
    // The host's whole band lies in the first stage's pass band: 1/2 of the host rate is 1/8 of 4x.
    EXPECT_LE(0.125, 0.25 - kOctaveTransition4x / 2.0);
    EXPECT_LE(0.0625, 0.25 - kOctaveTransition8x / 2.0);
}

} // namespace
} // namespace quarvine
