// SPDX-License-Identifier: GPL-3.0-or-later
// The real FFT against Eigen's FFT module in double precision, for every size the convolver may use.
#include "dsp/real_fft.h"

#include <gtest/gtest.h>

#include <unsupported/Eigen/FFT>

#include <cfloat>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace quarvine {
namespace {

// ||a - b|| / ||b|| over the whole spectrum or signal.
template <class A, class B>
double relativeError(const A& a, const B& b)
{
    double error = 0.0, norm = 0.0;
    for (size_t k = 0; k < b.size(); ++k) {
        error += std::norm(std::complex<double>(a[k]) - std::complex<double>(b[k]));
        norm += std::norm(std::complex<double>(b[k]));
    }
    return std::sqrt(error / norm);
}

// A radix-2 FFT in floating point errs by at most log2 N (mu + gamma4 (sqrt 2 + mu)) in the 2-norm
// (N. J. Higham, "Accuracy and Stability of Numerical Algorithms", 2nd ed., theorem 24.2):
// with twiddles rounded once (mu = eps/2) and gamma4 ~ 2 eps, about 3 eps log2 N. Radix 4 does the
// same levels' work with fewer roundings, and the real split is one more level.
TEST(RealFft, ForwardAndInverseMatchEigenInDoublePrecision)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    Eigen::FFT<double> reference;
    reference.SetFlag(Eigen::FFT<double>::Unscaled);
    reference.SetFlag(Eigen::FFT<double>::HalfSpectrum);
    for (int log2n = 2; log2n <= 16; ++log2n) {
        const int n = 1 << log2n, bins = n / 2 + 1;
        const double bound = 3.0 * FLT_EPSILON * log2n;
        RealFft fft(n);

        std::vector<float> x(n), back(n);
        for (float& v : x)
            v = static_cast<float>(uniform(random));
        std::vector<float> re(bins), im(bins);
        fft.forward(x.data(), re.data(), im.data());
        std::vector<std::complex<double>> expected(bins);
        reference.fwd(expected.data(), std::vector<double>(x.begin(), x.end()).data(), n);
        std::vector<std::complex<double>> ours(bins);
        for (int k = 0; k < bins; ++k)
            ours[k] = {re[k], im[k]};
        EXPECT_LE(relativeError(ours, expected), bound) << "forward, size " << n;

        fft.inverse(re.data(), im.data(), back.data());
        for (float& v : back)
            v /= static_cast<float>(n);
        EXPECT_LE(relativeError(back, x), 2.0 * bound) << "round trip, size " << n;

        // A spectrum of its own (real at 0 and n/2, as of any real signal), through the inverse.
        for (int k = 0; k < bins; ++k) {
            re[k] = static_cast<float>(uniform(random));
            im[k] = k == 0 || k == n / 2 ? 0.0f : static_cast<float>(uniform(random));
            ours[k] = {re[k], im[k]};
        }
        fft.inverse(re.data(), im.data(), back.data());
        std::vector<double> inverse(n);
        reference.inv(inverse.data(), ours.data(), n);
        EXPECT_LE(relativeError(back, inverse), bound) << "inverse, size " << n;
    }
}

} // namespace
} // namespace quarvine
