// Polyphase IIR half-band filter: two chains of six first-order allpass sections. Section j belongs
// to chain j % 2; the chain outputs are the two polyphase components of a half-band low-pass.
#pragma once

namespace quarvine {

struct HalfBandFilter {
    double coefficient[12] = {};
    double previousInput[12] = {};
    double previousOutput[12] = {};
};

inline constexpr double kHalfBandCoefficients[12] = {0.0366815, 0.136548, 0.274632, 0.423139,
                                                     0.561099,  0.67754,  0.769742, 0.83989,
                                                     0.892261,  0.931542, 0.962095, 0.987816};

inline void initHalfBandFilter(HalfBandFilter& f)
{
    for (int j = 0; j < 12; ++j) {
        f.coefficient[j] = kHalfBandCoefficients[j];
        f.previousInput[j] = 0.0;
        f.previousOutput[j] = 0.0;
    }
}

// out[n] = c*(u[n] - out[n-1]) + u[n-1]
inline double runAllpassSection(HalfBandFilter& f, int j, double u)
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

// One host sample into two sub-samples at twice the rate, the first one earlier in time.
inline SubSamples upsample(HalfBandFilter& f, double x)
{
    double p0 = x;
    double p1 = x;
    for (int k = 0; k < 6; ++k) {
        p0 = runAllpassSection(f, 2 * k, p0);
        p1 = runAllpassSection(f, 2 * k + 1, p1);
    }
    return {p0, p1};
}

// Two sub-samples back into one host sample; chain 0 takes the later one.
inline double downsample(HalfBandFilter& f, double first, double second)
{
    double p0 = second;
    double p1 = first;
    for (int k = 0; k < 6; ++k) {
        p0 = runAllpassSection(f, 2 * k, p0);
        p1 = runAllpassSection(f, 2 * k + 1, p1);
    }
    return (p0 + p1) * 0.5;
}

} // namespace quarvine
