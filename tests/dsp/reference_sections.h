// SPDX-License-Identifier: GPL-3.0-or-later
// The reference chain's small linear sections and its half-band resampler, each set up from its
// time constant, corner or component values at the model rate.
#pragma once

#include <array>

namespace quarvine::reference {

// RC high-pass, backward-difference form: y = (x - x1) a + a y with a = RC / (RC + T).
struct HighPass {
    HighPass(double rc, double period, double previousInput);
    double operator()(double x);
    double a, y = 0.0, x1;
};

// RC low-pass: y = a x + (1 - a) y with a = T / (T + tau).
struct LowPass {
    LowPass(double tau, double period);
    double operator()(double x);
    double a, feedback, y = 0.0;
};

// Second-order section y = (b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2) / a0, also used for first-order
// designs with the second-order terms at zero.
struct Biquad {
    double operator()(double x);
    double a0, a1, a2, b0, b1, b2;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

// The stage shelf H(s) = (500000 s + 8e9) / (900000 s + 8e9), bilinear at the model rate.
Biquad stageShelf(double rate);
// 60 Hz, Q 0.7 high-pass against rumble.
Biquad rumbleHighPass(double rate);
// 500 Hz, Q 0.7 peak with gain 1.585.
Biquad midBoost(double rate);
// 10 kOhm parallel 10 nF in series, 100 kOhm to ground, backward Euler.
Biquad bleedShelf(double rate);

// Polyphase half-band filter: two chains of six first-order allpasses.
class HalfBand {
public:
    HalfBand();
    // Two sub-samples, the earlier first.
    std::array<double, 2> up(double x);
    double down(double earlier, double later);

private:
    double allpass(int section, double u);
    std::array<double, 12> c{}, x{}, y{};
};

} // namespace quarvine::reference
