// SPDX-License-Identifier: GPL-3.0-or-later
// Pink-noise loudness of an impulse response against the direct sum of its definition, and the
// built-in cabinets, which make_cabinets.py brought to unit pink power at 48 kHz, still at unit
// power after resampling (within 0.01 dB: the resampler's ring ahead of the first tap, cut, would
// take 0.04 dB at 96 kHz): the resampler and the loudness checked together.
#include "dsp/ir_loudness.h"
#include "dsp/ir_resampler.h"
#include "resources/cabinets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

namespace quarvine {
namespace {

// The band's 400 frequencies, as numpy.geomspace(80, top, 400) gives them.
std::vector<double> bandFrequencies(double sampleRate)
{
    const double top = std::min(6000.0, 0.45 * sampleRate);
    std::vector<double> f(400);
    for (int i = 0; i < 400; ++i)
        f[i] = std::exp(std::log(80.0) + (std::log(top) - std::log(80.0)) * i / 399.0);
    return f;
}

double directPinkPower(const std::vector<float>& h, double sampleRate)
{
    double sum = 0.0;
    for (double f : bandFrequencies(sampleRate)) {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * f / sampleRate);
        std::complex<double> response = 0.0, phasor = 1.0;
        for (float v : h) {
            response += static_cast<double>(v) * phasor;
            phasor *= step;
        }
        sum += std::norm(response);
    }
    return sum / 400.0;
}

TEST(IrLoudness, IsTheMeanPowerOverTheLogSpacedBand)
{
    EXPECT_NEAR(pinkNoisePower(std::vector<float>{1.0f}, 48000.0), 1.0, 1e-12);
    // Two taps [1, a]: |1 + a e^(-jw)|^2 = 1 + a^2 + 2a cos w. At 8 and 1 kHz the band ends at 0.45
    // of the rate.
    constexpr double a = -0.75;
    for (double rate : {48000.0, 8000.0, 1000.0}) {
        double expected = 0.0;
        for (double f : bandFrequencies(rate))
            expected += (1.0 + a * a + 2.0 * a * std::cos(2.0 * std::numbers::pi * f / rate)) / 400.0;
        EXPECT_NEAR(pinkNoisePower(std::vector<float>{1.0f, static_cast<float>(a)}, rate) / expected, 1.0, 1e-9) << rate;
    }
    // A long response over several of the fast method's blocks, the last one partial.
    std::vector<float> h(150001);
    unsigned seed = 1;
    for (float& v : h) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(seed >> 8) - (1 << 23)) / static_cast<float>(1 << 23);
    }
    EXPECT_NEAR(pinkNoisePower(h, 44100.0) / directPinkPower(h, 44100.0), 1.0, 1e-9);
}

TEST(IrLoudness, GainBringsToUnitPowerAndRefusesSilenceAndNonFiniteTaps)
{
    EXPECT_FLOAT_EQ(loudnessGain(std::vector<float>{0.25f}, 48000.0), 4.0f);
    EXPECT_EQ(loudnessGain(std::vector<float>(100, 0.0f), 48000.0), 0.0f);
    EXPECT_EQ(loudnessGain(std::vector<float>{1.0f, std::numeric_limits<float>::quiet_NaN()}, 48000.0), 0.0f);
    EXPECT_EQ(loudnessGain(std::vector<float>{1e-40f}, 48000.0), 0.0f); // 1e40 is no float
}

TEST(IrLoudness, BuiltInCabinetsKeepUnitPinkPowerAtOtherRates)
{
    for (const CabinetResponse& c : builtInCabinets()) {
        const std::vector<float> taps(c.taps.begin(), c.taps.end());
        EXPECT_NEAR(pinkNoisePower(taps, c.sampleRate), 1.0, 1e-6) << c.name;
        for (double rate : {44100.0, 96000.0}) {
            const double db = 10.0 * std::log10(pinkNoisePower(resampleImpulseResponse(taps, c.sampleRate, rate), rate));
            EXPECT_NEAR(db, 0.0, 0.01) << c.name << " at " << rate << " Hz";
        }
    }
}

} // namespace
} // namespace quarvine
