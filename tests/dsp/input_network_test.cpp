// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/circuit_model.h"
#include "dsp/input_network.h"
#include "network_solver.h"

#include <gtest/gtest.h>

namespace quarvine {
namespace {

using test::Complex;
using test::kGround;
using test::kSource;

Complex nodalDriveNetwork(const InputNetworkComponents& p, double d, Complex s)
{
    enum { P, Q, W, Y, count };
    test::NodalNetwork net(count);
    net.capacitor(kSource, P, p.couplingCapacitance, s);
    net.resistor(P, kGround, p.leakResistance);
    net.resistor(P, Q, p.seriesResistance);
    net.capacitor(P, Q, p.bypassCapacitance, s);
    net.resistor(Q, W, (1.0 - d) * p.potResistance);
    net.capacitor(Q, W, p.brightCapacitance, s);
    net.resistor(W, kGround, d * p.potResistance);
    net.resistor(W, Y, p.outputResistance);
    net.capacitor(Y, kGround, p.outputCapacitance, s);
    return net.solve()[Y];
}

Complex polynomialDriveNetwork(const InputNetworkPolynomials& p, double d, Complex s)
{
    Complex num = 0.0, den = 0.0, power = 1.0;
    for (int k = 0; k < 5; ++k) {
        num += (d * p.n1[k] + d * d * p.n2[k]) * power;
        den += (p.d0[k] + d * p.d1[k] + d * d * p.d2[k]) * power;
        power *= s;
    }
    return num / den;
}

TEST(InputNetwork, PolynomialsMatchNodalAnalysisOfTheNetwork)
{
    const InputNetworkPolynomials p = inputNetworkPolynomials(kInputNetworkParts);
    for (double d : {0.001, 0.112725, 0.5, 0.77, 0.999})
        for (double hz : {10.0, 100.0, 1000.0, 5000.0, 20000.0}) {
            Complex s = test::jOmega(hz);
            Complex expected = nodalDriveNetwork(kInputNetworkParts, d, s);
            Complex got = polynomialDriveNetwork(p, d, s);
            EXPECT_NEAR(std::abs(got - expected) / std::abs(expected), 0.0, 1e-9) << "d " << d << " at " << hz;
        }
}

TEST(InputNetwork, NumeratorFactorsAsStated)
{
    // N(s) = -d Cc Rl Rp s (1 + Cs Rs s)(1 + (1 - d) Cb Rp s)
    const auto& c = kInputNetworkParts;
    const InputNetworkPolynomials p = inputNetworkPolynomials(c);
    const double d = 0.3;
    const Complex s = test::jOmega(700.0);
    Complex num = 0.0, power = 1.0;
    for (int k = 0; k < 5; ++k, power *= s)
        num += (d * p.n1[k] + d * d * p.n2[k]) * power;
    Complex factored = -d * c.couplingCapacitance * c.leakResistance * c.potResistance * s *
                       (1.0 + c.bypassCapacitance * c.seriesResistance * s) *
                       (1.0 + (1.0 - d) * c.brightCapacitance * c.potResistance * s);
    EXPECT_NEAR(std::abs(num - factored) / std::abs(factored), 0.0, 1e-12);
}

class DriveNetwork : public ::testing::Test {
protected:
    void SetUp() override { buildInputNetwork(filter, kInputNetworkParts, 88200.0, 190.0); }
    InputNetworkFilter filter;
};

TEST_F(DriveNetwork, ConstantGroupAtTheDefaultRate)
{
    const double expected[5] = {-6.0925e12, 7.5622e12, 4.5711e12, -7.5623e12, 1.5213e12};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(filter.constantTerms[i] / expected[i], 1.0, 1e-4) << i;
    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(filter.constantTerms[i], 0.0);
    EXPECT_EQ(filter.cachedDrive, 10.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(filter.inputHistory[i], 190.0);
        EXPECT_EQ(filter.outputHistory[i], 0.0);
    }
}

TEST_F(DriveNetwork, NumeratorGroupsSumToZeroSoDcIsBlocked)
{
    double linear = 0.0, quadratic = 0.0, scale = 0.0;
    for (int i = 5; i < 10; ++i) {
        linear += filter.linearTerms[i];
        quadratic += filter.quadraticTerms[i];
        scale += std::abs(filter.linearTerms[i]);
    }
    EXPECT_NEAR(linear / scale, 0.0, 1e-14);
    EXPECT_NEAR(quadratic / scale, 0.0, 1e-14);
    // Input resting at the level the history starts from: the output stays at zero.
    double worst = 0.0;
    for (int i = 0; i < 20000; ++i)
        worst = std::max(worst, std::abs(runInputNetwork(filter, 0.5, 190.0)));
    EXPECT_LT(worst, 1e-6); // rounding only, against a 190 V input
}

TEST_F(DriveNetwork, AnalogAndPrewarpedDigitalMagnitudes)
{
    struct Case {
        double d, at100, at1k, at10k;
    };
    // The 100 Hz value at 0.9999 computes to 0.714555; 0.71456 is its rounding.
    const Case cases[] = {{0.5, 0.35851, 0.81284, 0.83692},
                          {0.9999, 0.714555, 0.97398, 0.85165},
                          {0.0001, 7.553e-05, 0.00041474, 0.0035255}};
    const InputNetworkPolynomials p = inputNetworkPolynomials(kInputNetworkParts);
    for (const auto& c : cases) {
        refreshInputNetwork(filter, c.d);
        const double* nc = filter.networkCoefficients;
        const double a[5] = {nc[0], nc[1], nc[2], nc[3], nc[4]};
        const double b[5] = {nc[5], nc[6], nc[7], nc[8], nc[9]};
        const double hz[3] = {100.0, 1000.0, 10000.0};
        const double stated[3] = {c.at100, c.at1k, c.at10k};
        for (int i = 0; i < 3; ++i) {
            const double analog = std::abs(polynomialDriveNetwork(p, c.d, test::jOmega(hz[i])));
            EXPECT_NEAR(analog / stated[i], 1.0, 2e-4) << c.d << " at " << hz[i];
            const double w = test::prewarpedDigitalFrequency(hz[i], 176400.0);
            EXPECT_NEAR(test::digitalMagnitude(b, a, 5, w) / analog, 1.0, 1e-8) << c.d << " at " << hz[i];
        }
    }
}

TEST_F(DriveNetwork, RefreshesOnlyWhenTheDriveChanges)
{
    runInputNetwork(filter, 0.25, 190.0);
    EXPECT_EQ(filter.cachedDrive, 0.25);
    EXPECT_EQ(filter.inverseA0, 1.0 / filter.networkCoefficients[0]);
    filter.networkCoefficients[7] = 42.0;
    runInputNetwork(filter, 0.25, 190.0);
    EXPECT_EQ(filter.networkCoefficients[7], 42.0);
    runInputNetwork(filter, 0.26, 190.0);
    EXPECT_NE(filter.networkCoefficients[7], 42.0);
}

} // namespace
} // namespace quarvine
