// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in cabinets' impulse responses: short and finite, minimum-phase (they start at once),
// falling above the cone's top, with their low corner where the speakers' Thiele/Small figures put
// it, and of equal loudness. Magnitudes by a direct DFT in double precision.
#include "resources/cabinets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace quarvine {
namespace {

std::complex<double> response(std::span<const float> h, double rate, double f)
{
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
    std::complex<double> sum = 0.0, phasor = 1.0;
    for (float v : h) {
        sum += static_cast<double>(v) * phasor;
        phasor *= step;
    }
    return sum;
}

double levelDb(const CabinetResponse& c, double f) { return 20.0 * std::log10(std::abs(response(c.taps, c.sampleRate, f))); }

// Mean power in dB over log-spaced frequencies from lo to hi: what pink noise in that band gives.
double pinkLevelDb(const CabinetResponse& c, double lo, double hi)
{
    constexpr int kPoints = 300;
    double sum = 0.0;
    for (int i = 0; i < kPoints; ++i)
        sum += std::norm(response(c.taps, c.sampleRate, lo * std::pow(hi / lo, i / (kPoints - 1.0))));
    return 10.0 * std::log10(sum / kPoints);
}

// The model's figures, from the datasheets that resources/make_cabinets.py cites: the driver's free-air
// resonance and Q, its Vas, and the air behind the drivers (none: an open back, an infinite baffle).
struct Figures {
    std::string_view name;
    double fs, qts, vasLitres;
    int drivers;
    double boxLitres;
};
constexpr Figures kFigures[] = {
    {"1x10 open back", 96.0, 1.3, 23.2, 1, 0.0},
    {"1x12 open back", 85.0, 0.76, 40.31, 1, 0.0},
    {"4x12 closed back", 85.0, 0.76, 40.31, 4, 150.0},
    {"4x12 closed back, off axis", 85.0, 0.76, 40.31, 4, 150.0},
};

TEST(BuiltInCabinets, AreTheModelledCabinetsFiniteAndAtMost1024TapsAt48kHz)
{
    const auto cabinets = builtInCabinets();
    ASSERT_EQ(cabinets.size(), std::size(kFigures));
    for (size_t i = 0; i < cabinets.size(); ++i) {
        const CabinetResponse& c = cabinets[i];
        EXPECT_EQ(c.name, kFigures[i].name);
        EXPECT_EQ(c.sampleRate, 48000);
        EXPECT_GT(c.taps.size(), 0u);
        EXPECT_LE(c.taps.size(), 1024u) << c.name;
        for (float v : c.taps)
            ASSERT_TRUE(std::isfinite(v)) << c.name;
    }
}

// A causal response's first tap is at most the geometric mean of its magnitude over the unit circle,
// and equals it only when the response is minimum-phase (the cepstrum's first term; Oppenheim and
// Schafer): nothing of it is delayed that need not be. Cutting and fading move it by under 0.1 %.
TEST(BuiltInCabinets, AreMinimumPhaseAndStartAtOnce)
{
    constexpr int kCircle = 2048; // DFT points; |H| is even, so half the circle is computed
    for (const CabinetResponse& c : builtInCabinets()) {
        double logSum = 0.0;
        for (int k = 0; k <= kCircle / 2; ++k) {
            const double weight = k == 0 || k == kCircle / 2 ? 1.0 : 2.0;
            logSum += weight * std::log(std::abs(response(c.taps, kCircle, k)));
        }
        EXPECT_NEAR(c.taps[0] / std::exp(logSum / kCircle), 1.0, 0.01) << c.name;

        double energy = 0.0, early = 0.0;
        size_t peak = 0;
        for (size_t n = 0; n < c.taps.size(); ++n) {
            energy += c.taps[n] * static_cast<double>(c.taps[n]);
            if (n < static_cast<size_t>(c.sampleRate / 500))
                early += c.taps[n] * static_cast<double>(c.taps[n]);
            if (std::abs(c.taps[n]) > std::abs(c.taps[peak]))
                peak = n;
        }
        // Most of a cabinet's energy lies in the presence band, which decays within 2 ms; the
        // cone's top, a fourth-order fall from 5 kHz, delays the peak by about 4 taps (83 us).
        EXPECT_GE(early / energy, 0.9) << c.name;
        EXPECT_LT(peak, 12u) << c.name;
    }
}

// The cone's top is a fourth-order fall from at most 5.5 kHz: 20.8 dB down at 10 kHz and more above.
TEST(BuiltInCabinets, FallAtLeast20dBFrom10kHzUnderThePresenceBand)
{
    for (const CabinetResponse& c : builtInCabinets()) {
        double highest = -1e9;
        for (double f = 10000.0; f <= 20000.0; f *= 1.01)
            highest = std::max(highest, levelDb(c, f));
        EXPECT_LT(highest, pinkLevelDb(c, 1000.0, 4000.0) - 20.0) << c.name;
    }
}

// Below the resonance each cabinet follows the second-order high-pass of its driver on the air
// behind it: fc = fs sqrt(1 + Vas/Vb) and Qtc = Qts sqrt(1 + Vas/Vb), Vb per driver (R. H. Small,
// "Closed-box loudspeaker systems", JAES 1972); an open back is Vb without end. The back wave of
// an open back and the cone's rise towards 1 kHz bend it by under 1 dB there.
TEST(BuiltInCabinets, HaveTheirLowCornerWhereTheClosedBoxFormulaPutsIt)
{
    const auto cabinets = builtInCabinets();
    for (size_t i = 0; i < cabinets.size(); ++i) {
        const Figures& m = kFigures[i];
        const double alpha = m.boxLitres > 0.0 ? m.vasLitres * m.drivers / m.boxLitres : 0.0;
        const double fc = m.fs * std::sqrt(1.0 + alpha), q = m.qts * std::sqrt(1.0 + alpha);
        const auto highPassDb = [&](double f) {
            const double x = f / fc;
            return 20.0 * std::log10(x * x / std::hypot(1.0 - x * x, x / q));
        };
        for (double below : {0.5, std::numbers::sqrt2 / 2.0}) {
            const double f = below * fc;
            EXPECT_NEAR(levelDb(cabinets[i], f) - levelDb(cabinets[i], fc), highPassDb(f) - highPassDb(fc), 1.0)
                << m.name << " at " << f << " Hz (fc " << fc << " Hz, Q " << q << ")";
        }
    }
}

// Pink noise from 80 Hz to 6 kHz passes each at unit power: a change of cabinet keeps the level.
TEST(BuiltInCabinets, PassPinkNoiseAtUnitPower)
{
    for (const CabinetResponse& c : builtInCabinets())
        EXPECT_NEAR(pinkLevelDb(c, 80.0, 6000.0), 0.0, 0.1) << c.name;
}

} // namespace
} // namespace quarvine
