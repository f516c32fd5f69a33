// SPDX-License-Identifier: GPL-3.0-or-later
// The small linear sections of the chain: first-order high- and low-pass, the first-order shelf and
// the biquad. Each record has a set-up function (component values and rate) and an inline step.
#pragma once

#include <cmath>

namespace quarvine {

// Coupling capacitor into a resistor: y = (x - x1)*a + a*y.
struct OnePoleHighPass {
    double a = 0.0;
    double y = 0.0;
    double x1 = 0.0;
};

// RC low-pass: y = a*x + (1 - a)*y, with the feedback coefficient stored.
struct OnePoleLowPass {
    double feedback = 0.0;
    double a = 0.0;
    double y = 0.0;
};

// First-order section from the bilinear transform: y = g*(c2*x + c3*x1 - c1*y1).
struct ShelfSection {
    double g = 0.0;
    double c1 = 0.0;
    double c2 = 0.0;
    double c3 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
};

// Second-order section, stored un-normalised and scaled by g = 1/a0.
struct BiquadSection {
    double g = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b0 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
};

// Single-precision pi, as the resonant designs were tuned with it.
inline constexpr double kDesignPi = 3.1415927410125732;

inline void initOnePoleHighPass(OnePoleHighPass& f, double timeConstant, double rate, double initialInput)
{
    double period = 1.0 / rate;
    f.a = timeConstant / (timeConstant + period);
    f.y = 0.0;
    f.x1 = initialInput;
}

inline void initOnePoleLowPass(OnePoleLowPass& f, double timeConstant, double rate)
{
    double period = 1.0 / rate;
    f.a = period / (period + timeConstant);
    f.feedback = 1.0 - f.a;
    f.y = 0.0;
}

// H(s) = (500000 s + 8e9) / (900000 s + 8e9): unity at DC, 5/9 at high frequencies.
inline void initShelfSection(ShelfSection& f, double rate)
{
    double k = 2.0 * rate;
    f.g = 1.0 / (8e9 + 900000.0 * k);
    f.c1 = 8e9 - 900000.0 * k;
    f.c2 = 8e9 + 500000.0 * k;
    f.c3 = 8e9 - 500000.0 * k;
    f.x1 = 0.0;
    f.y1 = 0.0;
}

inline double designWarp(double frequency, double rate);

inline void clearBiquadHistory(BiquadSection& f)
{
    f.x1 = f.x2 = f.y1 = f.y2 = 0.0;
}

inline void initHighPassBiquad(BiquadSection& f, double frequency, double q, double rate)
{
    double k = designWarp(frequency, rate);
    double a0 = k * k + k / q + 1.0;
    f.g = 1.0 / a0;
    f.a1 = 2.0 * (k * k - 1.0);
    f.a2 = k * k - k / q + 1.0;
    f.b0 = 1.0;
    f.b1 = -2.0;
    f.b2 = 1.0;
    clearBiquadHistory(f);
}

inline void initPeakingBiquad(BiquadSection& f, double frequency, double q, double gain, double rate)
{
    double k = designWarp(frequency, rate);
    double a0 = k * k + k / q + 1.0;
    f.g = 1.0 / a0;
    f.a1 = 2.0 * (k * k - 1.0);
    f.a2 = k * k - k / q + 1.0;
    f.b0 = k * k + k * gain / q + 1.0;
    f.b1 = 2.0 * (k * k - 1.0);
    f.b2 = k * k - k * gain / q + 1.0;
    clearBiquadHistory(f);
}

// 10 kOhm || 10 nF in series into 100 kOhm to ground, discretised by backward Euler:
// H(s) = (s Cs + G1) / (s Cs + G1 + G2) with Cs = 10 nF, G1 = 1e-4 S, G2 = 1e-5 S.
inline void initBleedShelf(BiquadSection& f, double rate)
{
    constexpr double seriesCapacitance = 10e-9; // F: Cs
    constexpr double seriesConductance = 1e-4;  // S: G1, the 10 kOhm
    constexpr double groundConductance = 1e-5;  // S: G2, the 100 kOhm
    constexpr double totalConductance = seriesConductance + groundConductance; // 0.00011 S
    double cr = seriesCapacitance * rate;
    f.g = 1.0 / (cr + totalConductance);
    f.a1 = -cr;
    f.a2 = 0.0;
    f.b0 = cr + seriesConductance;
    f.b1 = -cr;
    f.b2 = 0.0;
    clearBiquadHistory(f);
}

inline double designWarp(double frequency, double rate)
{
    return std::tan((frequency * 2.0 * kDesignPi / rate) * 0.5);
}

inline double runHighPass(OnePoleHighPass& f, double x)
{
    double y = (x - f.x1) * f.a + f.a * f.y;
    f.x1 = x;
    f.y = y;
    return y;
}

inline double runLowPass(OnePoleLowPass& f, double x)
{
    double y = f.a * x + f.feedback * f.y;
    f.y = y;
    return y;
}

inline double runShelf(ShelfSection& f, double x)
{
    double y = f.g * (f.c2 * x + f.c3 * f.x1 - f.c1 * f.y1);
    f.x1 = x;
    f.y1 = y;
    return y;
}

inline double runBiquad(BiquadSection& f, double x)
{
    double y = f.g * (f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2);
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}

} // namespace quarvine
