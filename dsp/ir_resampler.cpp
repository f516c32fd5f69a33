// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ir_resampler.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace quarvine {

namespace {

// The kernel, in samples of the lower rate: a sinc cut off in the middle of the transition band
// (0.45 .. 0.5 of that rate), under a Kaiser window of kHalfWidth samples each side. Kaiser's
// formula for 144 taps over a transition of a tenth of Nyquist gives some 110 dB and beta 11.
constexpr int kHalfWidth = 72;
constexpr int kTaps = 2 * kHalfWidth;
constexpr double kCutoff = 0.475; // of the lower rate
constexpr double kBeta = 11.0;
// Rows of the kernel table per sample of the lower rate. Between two rows the taps are
// interpolated linearly; the images this makes are attenuated by the square of a sinc, to
// (0.5 / kPhases)^2, 120 dB.
constexpr int kPhases = 512;

double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

double kernel(double u)
{
    const double r = u / kHalfWidth;
    if (std::abs(r) >= 1.0)
        return 0.0;
    const double x = 2.0 * kCutoff * u;
    const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    return 2.0 * kCutoff * sinc * besselI0(kBeta * std::sqrt(1.0 - r * r)) / besselI0(kBeta);
}

// Row j holds the kernel at phase j / kPhases past a sample: tap i at u = phase + kHalfWidth - 1 - i.
// kPhases + 1 rows, so that each phase has a row after it.
const Eigen::MatrixXd& kernelTable()
{
    static const Eigen::MatrixXd table = [] {
        Eigen::MatrixXd t(kTaps, kPhases + 1); // column-major: a row of taps is one column
        for (int j = 0; j <= kPhases; ++j)
            for (int i = 0; i < kTaps; ++i)
                t(i, j) = kernel(static_cast<double>(j) / kPhases + kHalfWidth - 1 - i);
        return t;
    }();
    return table;
}

// Two doubles as one value: SSE2 on x86, plain doubles elsewhere (GCC and clang).
using Double2 = double __attribute__((vector_size(16)));

Double2 load2(const double* p)
{
    Double2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The inputs' products with two rows of the table, in one pass.
std::pair<double, double> twoDots(const double* inputs, const double* row0, const double* row1)
{
    Double2 a0{}, a1{}, b0{}, b1{}; // two sums each, so that the additions overlap
    for (int i = 0; i < kTaps; i += 4) {
        const Double2 x0 = load2(inputs + i), x1 = load2(inputs + i + 2);
        a0 += x0 * load2(row0 + i), a1 += x1 * load2(row0 + i + 2);
        b0 += x0 * load2(row1 + i), b1 += x1 * load2(row1 + i + 2);
    }
    const Double2 a = a0 + a1, b = b0 + b1;
    return {a[0] + a[1], b[0] + b[1]};
}

struct Phase {
    long long sample; // the whole sample at or before the position
    int row;          // table row at or before the fraction
    double weight;    // of the next row
};

Phase phaseOf(double position)
{
    const double whole = std::floor(position);
    const double scaled = (position - whole) * kPhases;
    const int row = std::min(static_cast<int>(scaled), kPhases - 1);
    return {static_cast<long long>(whole), row, scaled - row};
}

} // namespace

std::vector<float> resampleImpulseResponse(std::span<const float> ir, double fromRate, double toRate)
{
    if (fromRate == toRate)
        return {ir.begin(), ir.end()};
    if (ir.empty() || !(fromRate > 0.0) || !(toRate > 0.0) || std::isinf(fromRate) || std::isinf(toRate))
        return {};
    const auto& table = kernelTable();
    const long long n = static_cast<long long>(ir.size());
    const long long outLength = static_cast<long long>(std::ceil(static_cast<double>(n) * toRate / fromRate));
    std::vector<float> out(outLength);
    // In both directions the ring ahead of the first tap (the outputs before it) goes onto it.
    if (toRate > fromRate) {
        // Up: each output is the kernel, at its position between the inputs, over 144 inputs.
        // The kernel there has unit gain per input sample, i.e. fromRate / toRate per output
        // sample: scaled by that, the taps' sum stays.
        const double scale = fromRate / toRate;
        Eigen::VectorXd padded = Eigen::VectorXd::Zero(n + 3 * kHalfWidth); // input k at 2 * kHalfWidth + k
        for (long long k = 0; k < n; ++k)
            padded[2 * kHalfWidth + k] = ir[k];
        const auto output = [&](long long m) {
            const Phase p = phaseOf(static_cast<double>(m) * fromRate / toRate);
            const double* inputs = padded.data() + kHalfWidth + p.sample + 1; // p.sample - 71 .. p.sample + 72
            const auto [a, b] = twoDots(inputs, table.col(p.row).data(), table.col(p.row + 1).data());
            return scale * (a + p.weight * (b - a));
        };
        double first = 0.0;
        for (long long m = -static_cast<long long>(std::ceil(kHalfWidth * toRate / fromRate)); m <= 0; ++m)
            first += output(m);
        out[0] = static_cast<float>(first);
        for (long long m = 1; m < outLength; ++m)
            out[m] = static_cast<float>(output(m));
    } else {
        // Down: each input spreads over the 144 outputs around its position, by the kernel in
        // output samples, whose unit gain per output sample keeps the taps' sum.
        Eigen::VectorXd sums = Eigen::VectorXd::Zero(kHalfWidth + outLength + kHalfWidth); // output m at kHalfWidth + m
        for (long long k = 0; k < n; ++k) {
            const Phase p = phaseOf(static_cast<double>(k) * toRate / fromRate);
            const double x = ir[k];
            sums.segment(p.sample + 1, kTaps) +=
                (x * (1.0 - p.weight)) * table.col(p.row) + (x * p.weight) * table.col(p.row + 1);
        }
        out[0] = static_cast<float>(sums.head(kHalfWidth + 1).sum());
        for (long long m = 1; m < outLength; ++m)
            out[m] = static_cast<float>(sums[kHalfWidth + m]);
    }
    return out;
}

} // namespace quarvine
