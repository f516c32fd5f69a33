// SPDX-License-Identifier: GPL-3.0-or-later
// Polyphase IIR half-band filters: two chains of first-order allpass sections. Section j belongs
// to chain j % 2; the chain outputs are the two polyphase components of a half-band low-pass.
// The first doubling uses twelve sections (a narrow transition just below the host's Nyquist
// frequency); the further doublings of 4x and 8x need only a few, their transition being wide.
#pragma once

namespace quarvine {

template <int Sections>
struct PolyphaseHalfBand {
    static_assert(Sections % 2 == 0, "both chains have the same length");
    static constexpr int kSections = Sections;
    double coefficient[Sections] = {};
    double previousInput[Sections] = {};
    double previousOutput[Sections] = {};
};

// Host rate to twice the host rate and back.
using HalfBandFilter = PolyphaseHalfBand<12>;
// 2x to 4x and 4x to 8x, and back.
using OctaveHalfBand = PolyphaseHalfBand<4>;

// 12 sections, transition band 0.01 of the doubled rate centred on its quarter (about 95 dB
// stop-band attenuation): designHalfBand(0.01, ...) gives these to the digits shown.
inline constexpr double kHalfBandCoefficients[12] = {0.0366815, 0.136548, 0.274632, 0.423139,
                                                     0.561099,  0.67754,  0.769742, 0.83989,
                                                     0.892261,  0.931542, 0.962095, 0.987816};

template <int Sections>
inline void initHalfBand(PolyphaseHalfBand<Sections>& f, const double (&coefficients)[Sections])
{
    for (int j = 0; j < Sections; ++j) {
        f.coefficient[j] = coefficients[j];
        f.previousInput[j] = 0.0;
        f.previousOutput[j] = 0.0;
    }
}

inline void initHalfBandFilter(HalfBandFilter& f)
{
    initHalfBand(f, kHalfBandCoefficients);
}

// out[n] = c*(u[n] - out[n-1]) + u[n-1]
template <int Sections>
inline double runAllpassSection(PolyphaseHalfBand<Sections>& f, int j, double u)
{
    double out = (u - f.previousOutput[j]) * f.coefficient[j] + f.previousInput[j];
    f.previousInput[j] = u;
    f.previousOutput[j] = out;
    return out;
}

struct SubSamples {
    double first;
    double second;
};

// One sample into two sub-samples at twice the rate, the first one earlier in time.
template <int Sections>
inline SubSamples upsample(PolyphaseHalfBand<Sections>& f, double x)
{
    double p0 = x;
    double p1 = x;
    for (int k = 0; k < Sections / 2; ++k) {
        p0 = runAllpassSection(f, 2 * k, p0);
        p1 = runAllpassSection(f, 2 * k + 1, p1);
    }
    return {p0, p1};
}

// Two sub-samples back into one sample; chain 0 takes the later one.
template <int Sections>
inline double downsample(PolyphaseHalfBand<Sections>& f, double first, double second)
{
    double p0 = second;
    double p1 = first;
    for (int k = 0; k < Sections / 2; ++k) {
        p0 = runAllpassSection(f, 2 * k, p0);
        p1 = runAllpassSection(f, 2 * k + 1, p1);
    }
    return (p0 + p1) * 0.5;
}

} // namespace quarvine
