// SPDX-License-Identifier: GPL-3.0-or-later
// The impulse-response resampler: its span of time, the same rate left alone, and its quality
// measured with sines: the pass band flat and in phase at the gain that keeps the taps' sum, and
// nothing of what lies above the lower rate's Nyquist frequency let through.
#include "dsp/ir_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace quarvine {
namespace {

TEST(IrResampler, KeepsTheSpanOfTimeAndLeavesTheSameRateAlone)
{
    std::vector<float> ir(1024);
    for (size_t i = 0; i < ir.size(); ++i)
        ir[i] = std::sin(0.37f * i) / (1.0f + i); // any values
    EXPECT_EQ(resampleImpulseResponse(ir, 48000.0, 48000.0), ir);
    EXPECT_EQ(resampleImpulseResponse(ir, 48000.0, 44100.0).size(), 941u); // 940.8
    EXPECT_EQ(resampleImpulseResponse(ir, 48000.0, 96000.0).size(), 2048u);
    EXPECT_EQ(resampleImpulseResponse(std::span(ir).first(1000), 44100.0, 48000.0).size(), 1089u); // 1088.4
    EXPECT_TRUE(resampleImpulseResponse({}, 44100.0, 48000.0).empty());
    EXPECT_TRUE(resampleImpulseResponse(ir, 44100.0, INFINITY).empty());
}

// The sum of the taps is the gain at 0 Hz; a lone impulse rings most ahead of its first tap. The
// silence after it holds the ringing behind it (at 1 kHz, 72 ms).
TEST(IrResampler, KeepsTheSumOfTheTapsOfALoneImpulse)
{
    std::vector<float> impulse(4800, 0.0f);
    impulse[0] = 1.0f;
    for (double rate : {1000.0, 44100.0, 96000.0, 1536000.0}) {
        double sum = 0.0;
        for (float v : resampleImpulseResponse(impulse, 48000.0, rate))
            sum += v;
        EXPECT_NEAR(sum, 1.0, 1e-4) << rate;
    }
}

struct Sine {
    double fromRate, toRate, frequency;
};

// A second of a unit sine, resampled; its middle fitted by least squares with a sine and a cosine
// at the frequency it should have (none above the lower Nyquist frequency). Gives the fitted
// complex amplitude against the one expected, (fromRate / toRate) e^(j phase), and what is left
// beside it, in dB of the expected sine.
std::pair<std::complex<double>, double> measure(const Sine& s)
{
    constexpr double kPhase = 0.3;
    std::vector<float> in(static_cast<size_t>(s.fromRate));
    for (size_t k = 0; k < in.size(); ++k)
        in[k] = static_cast<float>(std::sin(2.0 * std::numbers::pi * s.frequency * k / s.fromRate + kPhase));
    const std::vector<float> out = resampleImpulseResponse(in, s.fromRate, s.toRate);
    const double w = 2.0 * std::numbers::pi * s.frequency / s.toRate;
    const bool passes = s.frequency < 0.5 * std::min(s.fromRate, s.toRate);
    const size_t first = out.size() / 5, last = out.size() - out.size() / 5; // edges cut
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t m = first; m < last; ++m) {
        const double sn = passes ? std::sin(w * m) : 0.0, cs = passes ? std::cos(w * m) : 0.0;
        ss += sn * sn, sc += sn * cs, cc += cs * cs, ys += out[m] * sn, yc += out[m] * cs;
    }
    const double det = ss * cc - sc * sc;
    const double a = passes ? (ys * cc - yc * sc) / det : 0.0, b = passes ? (yc * ss - ys * sc) / det : 0.0;
    double residue = 0.0;
    for (size_t m = first; m < last; ++m) {
        const double e = out[m] - a * std::sin(w * m) - b * std::cos(w * m);
        residue += e * e;
    }
    const double gain = s.fromRate / s.toRate;
    // a sin + b cos = Im((a + jb) e^(j w m)): the phase of a + jb is the sine's phase at m = 0.
    return {std::complex<double>(a, b) / std::polar(gain, kPhase),
            10.0 * std::log10(residue / (last - first) / (0.5 * gain * gain))};
}

TEST(IrResampler, PassesUpTo09OfTheLowerNyquistFlatAndStopsAboveItBy100dB)
{
    std::vector<Sine> sines = {
        // Down: the pass band to 0.9 of 22.05 kHz; up: no images of it.
        {96000, 44100, 1000}, {96000, 44100, 10000}, {96000, 44100, 17640}, {96000, 44100, 19845},
        {44100, 96000, 1000}, {44100, 96000, 10000}, {44100, 96000, 19845},
        // An irrational ratio, and the extremes of the rates.
        {48000, 48000 * std::numbers::pi / 3, 15000}, {384000, 1000, 400}, {384000, 1000, 520},
        {8000, 1536000, 3500},
    };
    for (double f = 22051.0; f < 48000.0; f += 2300.0) // down: from just above 22.05 kHz
        sines.push_back({96000, 44100, f});
    for (const Sine& s : sines) {
        const auto [amplitude, residueDb] = measure(s);
        SCOPED_TRACE(testing::Message() << s.fromRate << " Hz to " << s.toRate << " Hz, sine at " << s.frequency << " Hz");
        if (s.frequency < 0.5 * std::min(s.fromRate, s.toRate)) {
            EXPECT_LT(std::abs(amplitude - 1.0), 1.15e-4) << amplitude; // 0.001 dB, 0.007 degrees
        }
        EXPECT_LT(residueDb, -100.0);
    }
}

} // namespace
} // namespace quarvine
