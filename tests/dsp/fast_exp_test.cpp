// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain's inline exp against the library's, and its behaviour at the edges the shapers
// rely on. Built here without FMA, as the baseline build of the chain is.
#define QUARVINE_FAST_VARIANT exptest
#include "dsp/fast_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quarvine {
namespace {

namespace fm = exptest::fastmath;

TEST(FastExp, AgreesWithTheLibraryToAFewUnitsInTheLastPlace)
{
    double worst = 0.0;
    // The shapers' working range and beyond, with arguments that are not round numbers.
    for (double x = -700.0; x <= 700.0; x += 0.0137) {
        const double relative = std::abs(fm::exp(x) - std::exp(x)) / std::exp(x);
        worst = std::max(worst, relative);
    }
    EXPECT_LT(worst, 1e-15);
    EXPECT_EQ(fm::exp(0.0), 1.0);
    EXPECT_NEAR(fm::exp(1.0), 2.718281828459045, 4e-16 * 2.718281828459045);
}

TEST(FastExp, ClampsFarArgumentsAndPassesNaN)
{
    // Beyond +-708 the argument is held there: finite, and tanh built from it is +-1.
    EXPECT_TRUE(std::isfinite(fm::exp(1e6)));
    EXPECT_TRUE(std::isfinite(fm::exp(std::numeric_limits<double>::infinity())));
    EXPECT_EQ(fm::exp(1e6), fm::exp(708.0));
    EXPECT_GT(fm::exp(-1e6), 0.0);
    EXPECT_LT(fm::exp(-1e6), 1e-300);
    const double e = fm::exp(1e6);
    EXPECT_EQ((e - 1.0) / (e + 1.0), 1.0);
    const double f = fm::exp(-std::numeric_limits<double>::infinity());
    EXPECT_EQ((f - 1.0) / (f + 1.0), -1.0);
    EXPECT_TRUE(std::isnan(fm::exp(std::nan(""))));
}

TEST(FastExp, EstrinMatchesHorner)
{
    // A polynomial with exactly representable values at small integers: both schemes are exact.
    const double c[11] = {1, -2, 3, -4, 5, -6, 7, -8, 9, -10, 11};
    for (double x : {0.0, 1.0, -1.0, 2.0, -3.0, 0.5}) {
        double horner = c[10];
        for (int i = 9; i >= 0; --i)
            horner = horner * x + c[i];
        EXPECT_EQ(fm::estrin(c, x), horner) << x;
    }
}

} // namespace
} // namespace quarvine
