// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ir_loudness.h"

#include <unsupported/Eigen/FFT>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace quarvine {

namespace {

constexpr double kBandLow = 80.0;   // Hz
constexpr double kBandHigh = 6000.0; // Hz
constexpr double kHighestOfRate = 0.45;
constexpr int kPoints = 400;

// The response at the band's frequencies by Gaussian gridding (L. Greengard and J.-Y. Lee,
// "Accelerating the nonuniform fast Fourier transform", SIAM Review 46(3), 2004): each block of
// taps, divided by a Gaussian's Fourier series, goes through an FFT twice its length, and each
// frequency is the Gaussian-weighted sum of the kSpread bins on either side. With twice the
// length and 12 bins their error is about 1e-12 of the taps' sum. Blocks keep the FFTs small for
// long responses; the direct sum would take 400 products per tap.
constexpr int kSpread = 12;
constexpr int kShortestBlock = 16; // the FFT must hold the 2 * kSpread bins
constexpr int kLongestBlock = 1 << 16;

} // namespace

double pinkNoisePower(std::span<const float> ir, double sampleRate)
{
    constexpr double pi = std::numbers::pi;
    const double top = std::min(kBandHigh, kHighestOfRate * sampleRate);
    std::vector<double> omega(kPoints); // radians per sample
    for (int i = 0; i < kPoints; ++i)
        omega[i] = 2.0 * pi * kBandLow * std::pow(top / kBandLow, i / (kPoints - 1.0)) / sampleRate;

    const std::size_t n = ir.size();
    int block = kShortestBlock;
    while (static_cast<std::size_t>(block) < n && block < kLongestBlock)
        block *= 2;
    const int grid = 2 * block;
    // The Gaussian exp(-x^2 / (4 tau)) has the Fourier coefficients sqrt(tau / pi) exp(-k^2 tau);
    // tau as Greengard and Lee choose it for twice the length: pi * spread / (block^2 * 2 * 1.5).
    const double tau = pi * kSpread / (3.0 * block * block);
    std::vector<double> deconvolution(block); // for the taps at -block/2 .. block/2 from the middle
    for (int t = 0; t < block; ++t) {
        const double k = t - block / 2;
        deconvolution[t] = std::sqrt(pi / tau) * std::exp(k * k * tau);
    }

    Eigen::FFT<double> fft;
    std::vector<double> scaled(grid);
    std::vector<std::complex<double>> bins(grid);
    std::vector<std::complex<double>> response(kPoints, 0.0);
    for (std::size_t start = 0; start < n; start += block) {
        std::fill(scaled.begin(), scaled.end(), 0.0);
        for (int t = 0; t < block && start + t < n; ++t)
            scaled[(t - block / 2 + grid) % grid] = deconvolution[t] * ir[start + t];
        fft.fwd(bins.data(), scaled.data(), grid);
        for (int i = 0; i < kPoints; ++i) {
            const long m0 = static_cast<long>(std::floor(omega[i] * grid / (2.0 * pi)));
            std::complex<double> sum = 0.0;
            for (long m = m0 - kSpread + 1; m <= m0 + kSpread; ++m) {
                const double x = omega[i] - 2.0 * pi * m / grid;
                sum += bins[(m + grid) % grid] * std::exp(-x * x / (4.0 * tau));
            }
            // The block's middle tap is its time origin.
            response[i] += std::polar(1.0 / grid, -omega[i] * static_cast<double>(start + block / 2)) * sum;
        }
    }
    double power = 0.0;
    for (const auto& h : response)
        power += std::norm(h);
    return power / kPoints;
}

float loudnessGain(std::span<const float> ir, double sampleRate)
{
    const double power = pinkNoisePower(ir, sampleRate);
    const float gain = static_cast<float>(1.0 / std::sqrt(power));
    return power > 0.0 && std::isfinite(power) && std::isfinite(gain) ? gain : 0.0f;
}

} // namespace quarvine
