// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference_sections.h"

#include <cmath>

namespace quarvine::reference {

HighPass::HighPass(double rc, double period, double previousInput) : a(rc / (rc + period)), x1(previousInput) {}

double HighPass::operator()(double x)
{
    y = (x - x1) * a + a * y;
    x1 = x;
    return y;
}

LowPass::LowPass(double tau, double period) : a(period / (period + tau)), feedback(1.0 - a) {}

double LowPass::operator()(double x)
{
    y = a * x + feedback * y;
    return y;
}

double Biquad::operator()(double x)
{
    const double out = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = out;
    return out;
}

Biquad stageShelf(double rate)
{
    const double k = 2.0 * rate;
    return {8e9 + 900000 * k, 8e9 - 900000 * k, 0.0, 8e9 + 500000 * k, 8e9 - 500000 * k, 0.0};
}

namespace {
// Prewarped bilinear constant of the resonant designs; pi at single precision, as the model has it.
double resonantK(double hz, double rate)
{
    return std::tan(hz * 2.0 * 3.1415927410125732 / rate * 0.5);
}
} // namespace

Biquad rumbleHighPass(double rate)
{
    const double k = resonantK(60.0, rate), q = 0.7;
    return {k * k + k / q + 1.0, 2.0 * (k * k - 1.0), k * k - k / q + 1.0, 1.0, -2.0, 1.0};
}

Biquad midBoost(double rate)
{
    const double k = resonantK(500.0, rate), q = 0.7, gain = 1.585;
    return {k * k + k / q + 1.0,         2.0 * (k * k - 1.0), k * k - k / q + 1.0,
            k * k + k * gain / q + 1.0, 2.0 * (k * k - 1.0), k * k - k * gain / q + 1.0};
}

Biquad bleedShelf(double rate)
{
    // H(s) = (s Cs + G1) / (s Cs + G1 + G2) with s -> (1 - z^-1) rate.
    const double cs = 1e-8, g1 = 1e-4, g2 = 1e-5;
    const double cr = cs * rate;
    return {cr + g1 + g2, -cr, 0.0, cr + g1, -cr, 0.0};
}

HalfBand::HalfBand()
    : c{0.0366815, 0.136548, 0.274632, 0.423139, 0.561099, 0.67754,
        0.769742,  0.83989,  0.892261, 0.931542, 0.962095, 0.987816}
{
}

double HalfBand::allpass(int j, double u)
{
    const double out = (u - y[j]) * c[j] + x[j];
    x[j] = u;
    y[j] = out;
    return out;
}

std::array<double, 2> HalfBand::up(double in)
{
    double even = in, odd = in;
    for (int k = 0; k < 6; ++k) {
        even = allpass(2 * k, even);
        odd = allpass(2 * k + 1, odd);
    }
    return {even, odd};
}

double HalfBand::down(double earlier, double later)
{
    double even = later, odd = earlier;
    for (int k = 0; k < 6; ++k) {
        even = allpass(2 * k, even);
        odd = allpass(2 * k + 1, odd);
    }
    return (even + odd) * 0.5;
}

} // namespace quarvine::reference
