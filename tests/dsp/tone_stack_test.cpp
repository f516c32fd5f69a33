// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/circuit_model.h"
#include "dsp/tone_stack.h"
#include "network_solver.h"

#include <gtest/gtest.h>

#include <memory>

namespace quarvine {
namespace {

using test::Complex;
using test::kGround;
using test::kSource;

struct Controls {
    double t, m, b, h;
};

// V(O) / V(in) of the stack by nodal analysis: a second method, independent of the table.
Complex nodalToneStack(const ToneStackComponents& p, Controls c, Complex s)
{
    enum { T, N, B, M, W, O, X, count };
    test::NodalNetwork net(count);
    net.capacitor(kSource, T, p.c1, s);
    net.resistor(kSource, N, p.r1);
    net.capacitor(N, B, p.c2, s);
    net.capacitor(N, W, p.c3, s);
    net.resistor(T, O, (1.0 - c.t) * p.r2);
    net.resistor(O, B, c.t * p.r2);
    net.resistor(B, M, c.b * p.r3);
    net.resistor(M, W, (1.0 - c.m) * p.r4);
    net.resistor(W, kGround, c.m * p.r4);
    net.resistor(O, kGround, p.r7);
    net.capacitor(O, X, p.c4, s);
    net.resistor(X, kGround, p.r5 + (1.0 - c.h) * p.r6);
    return net.solve()[O];
}

Complex tableToneStack(const ToneStackFilter& f, Controls c, Complex s)
{
    double a[5], b[5];
    evaluateToneStackPolynomials(f, c.b, c.m, c.t, c.h, a, b);
    Complex num = 0.0, den = 0.0, power = 1.0;
    for (int k = 0; k < 5; ++k) {
        num += b[k] * power;
        den += a[k] * power;
        power *= s;
    }
    return num / den;
}

class ToneStack : public ::testing::Test {
protected:
    void SetUp() override { buildToneStack(filter, kToneStackParts, 88200.0); }
    ToneStackFilter filter;
};

// Index of the first entry of each coefficient in the table.
constexpr int kA0 = 0, kA1 = 3, kA2 = 15, kA3 = 37, kA4 = 65, kB1 = 95, kB2 = 99, kB3 = 109, kB4 = 123;

TEST_F(ToneStack, ConstantTermEntries)
{
    const double* e = filter.coefficientTable;
    EXPECT_DOUBLE_EQ(e[kA0], -1025000.0);
    EXPECT_NEAR(e[kA1], -3311.1, 1e-9);
    EXPECT_NEAR(e[kA2] / -2.2726627, 1.0, 1e-7);
    EXPECT_NEAR(e[kA3] / -0.00051016603, 1.0, 1e-7);
    EXPECT_NEAR(e[kA4] / -3.5384514e-08, 1.0, 1e-7);
    EXPECT_NEAR(e[kB1], -567.0, 1e-9);
    EXPECT_NEAR(e[kB2] / -0.336178, 1.0, 1e-6);
    EXPECT_NEAR(e[kB3] / -4.7088096e-05, 1.0, 1e-7);
    EXPECT_NEAR(e[kB4] / 2.90037e-08, 1.0, 1e-5); // B4's first entry is its t*h term
    EXPECT_EQ(filter.bilinearPowers[0], 176400.0);
    EXPECT_EQ(filter.bilinearPowers[3], 176400.0 * 176400.0 * 176400.0 * 176400.0);
    for (double c : filter.cachedControls)
        EXPECT_EQ(c, 10.0);
}

TEST_F(ToneStack, TableLayoutGroupsTermsByCoefficient)
{
    const int starts[] = {kA0, kA1, kA2, kA3, kA4, kB1, kB2, kB3, kB4, kToneStackTermCount};
    for (int c = 0; c < 9; ++c)
        for (int i = starts[c]; i < starts[c + 1]; ++i)
            EXPECT_EQ(kToneStackTerms[i].coefficient, c) << "entry " << i;
}

TEST_F(ToneStack, TableMatchesNodalAnalysisOfTheNetwork)
{
    const Controls points[] = {{0.5, 0.5, 0.112725, 0.5}, {0.3, 0.6, 0.2, 0.5}, {0.8, 0.1, 0.7, 0.2},
                               {0.05, 0.95, 0.9, 0.9},    {0.6, 0.4, 0.01, 0.0}};
    for (Controls c : points)
        for (double hz : {20.0, 150.0, 1000.0, 6000.0, 20000.0}) {
            Complex s = test::jOmega(hz);
            Complex expected = nodalToneStack(kToneStackParts, c, s);
            Complex got = tableToneStack(filter, c, s);
            EXPECT_NEAR(std::abs(got - expected) / std::abs(expected), 0.0, 1e-9)
                << "t " << c.t << " m " << c.m << " b " << c.b << " h " << c.h << " at " << hz << " Hz";
        }
}

TEST_F(ToneStack, WithoutTheCutCapacitorEveryCutBranchTermVanishes)
{
    ToneStackComponents parts = kToneStackParts;
    parts.c4 = 0.0;
    ToneStackFilter plain;
    buildToneStack(plain, parts, 88200.0);
    EXPECT_EQ(plain.coefficientTable[kA4], 0.0);
    EXPECT_EQ(plain.coefficientTable[kB4], 0.0);
    // The plain stack no longer depends on h.
    Complex s = test::jOmega(3000.0);
    Complex h0 = tableToneStack(plain, {0.4, 0.3, 0.2, 0.0}, s);
    Complex h1 = tableToneStack(plain, {0.4, 0.3, 0.2, 1.0}, s);
    EXPECT_NEAR(std::abs(h0 - h1), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(h0 - nodalToneStack(parts, {0.4, 0.3, 0.2, 0.7}, s)) / std::abs(h0), 0.0, 1e-9);
}

struct StatedMagnitudes {
    double setting;
    double at100, at1k, at10k;
};

TEST_F(ToneStack, AnalogAndPrewarpedDigitalMagnitudes)
{
    const StatedMagnitudes cases[] = {
        {0.5, 0.54093, 0.20386, 0.31240}, {0.0, 0.18912, 0.13420, 0.021005}, {1.0, 0.45680, 0.24355, 0.89884}};
    for (const auto& c : cases) {
        const Controls controls{c.setting, c.setting, c.setting, 0.5};
        refreshToneStack(filter, controls.b, controls.m, controls.t, controls.h);
        const double* rc = filter.runtimeCoefficients;
        const double b[5] = {rc[5], rc[6], rc[7], rc[8], rc[9]};
        const double a[5] = {1.0, rc[1], rc[2], rc[3], rc[4]};
        const double hz[3] = {100.0, 1000.0, 10000.0};
        const double stated[3] = {c.at100, c.at1k, c.at10k};
        for (int i = 0; i < 3; ++i) {
            const double analog = std::abs(tableToneStack(filter, controls, test::jOmega(hz[i])));
            EXPECT_NEAR(analog / stated[i], 1.0, 5e-5) << c.setting << " at " << hz[i];
            const double w = test::prewarpedDigitalFrequency(hz[i], filter.bilinearPowers[0]);
            EXPECT_NEAR(test::digitalMagnitude(b, a, 5, w) / analog, 1.0, 1e-8) << c.setting << " at " << hz[i];
        }
        EXPECT_NEAR(std::abs(tableToneStack(filter, controls, 0.0)), 0.0, 0.0);
    }
}

TEST_F(ToneStack, RefreshesOnlyWhenAControlChanges)
{
    runToneStack(filter, 0.2, 0.5, 0.5, 0.5, 0.0);
    EXPECT_EQ(filter.cachedControls[0], 0.2);
    double before[10];
    std::copy(std::begin(filter.runtimeCoefficients), std::end(filter.runtimeCoefficients), before);
    // Poison one coefficient: an unchanged call must not recompute it.
    filter.runtimeCoefficients[9] = 123.0;
    runToneStack(filter, 0.2, 0.5, 0.5, 0.5, 0.0);
    EXPECT_EQ(filter.runtimeCoefficients[9], 123.0);
    // Each single control change recomputes.
    const double changed[4][4] = {{0.3, 0.5, 0.5, 0.5}, {0.3, 0.6, 0.5, 0.5}, {0.3, 0.6, 0.7, 0.5},
                                  {0.3, 0.6, 0.7, 0.4}};
    for (const auto& c : changed) {
        filter.runtimeCoefficients[9] = 123.0;
        runToneStack(filter, c[0], c[1], c[2], c[3], 0.0);
        EXPECT_NE(filter.runtimeCoefficients[9], 123.0);
    }
    // Back to the first controls: same coefficients as first computed.
    runToneStack(filter, 0.2, 0.5, 0.5, 0.5, 0.0);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(filter.runtimeCoefficients[i], before[i]);
}

TEST_F(ToneStack, ConstantInputSettlesToNearZero)
{
    double y = 1.0;
    for (int i = 0; i < 88200; ++i)
        y = runToneStack(filter, 0.112725, 0.5, 0.5, 0.5, 1.0);
    // No s^0 numerator term; only the rounding of the numerator coefficients' sum is left.
    EXPECT_LT(std::abs(y), 1e-8);
}

} // namespace
} // namespace quarvine
