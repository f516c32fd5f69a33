// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/circuit_model.h"
#include "network_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace quarvine {
namespace {

using test::digitalMagnitude;

class SmallSections : public ::testing::Test {
protected:
    void SetUp() override
    {
        model = std::make_unique<CircuitModel>();
        buildCircuitModel(*model, 44100.0);
    }
    std::unique_ptr<CircuitModel> model;
};

double biquadMagnitude(const BiquadSection& f, double hertz, double rate)
{
    const double b[3] = {f.b0, f.b1, f.b2};
    const double a[3] = {1.0 / f.g, f.a1, f.a2};
    return digitalMagnitude(b, a, 3, 2.0 * test::kPi * hertz / rate);
}

TEST_F(SmallSections, FirstOrderCoefficientsAtTheDefaultRate)
{
    EXPECT_NEAR(1.0 / model->internalRate, 1.1337868e-05, 1e-12);
    EXPECT_NEAR(model->stageLowpass1.a, 0.13728, 1e-5);
    EXPECT_EQ(model->stageLowpass1.feedback, 1.0 - model->stageLowpass1.a);
    EXPECT_NEAR(model->couplingFilterA.a, 0.99962, 1e-5);
    EXPECT_NEAR(model->outputCouplingFilter.a, 0.99929, 1e-5);
    // Coupling filters start from the DC level of the stage before them.
    EXPECT_EQ(model->couplingFilterA.x1, model->triode2BiasPlateVoltage);
    EXPECT_EQ(model->couplingFilterB.x1, 0.0);
    EXPECT_EQ(model->outputCouplingFilter.x1, model->triode3BiasPlateVoltage);
}

TEST_F(SmallSections, HighPassStepDecaysAndLowPassSettlesToTheInput)
{
    OnePoleHighPass hp = model->couplingFilterB;
    OnePoleLowPass lp = model->stageLowpass1;
    double first = runHighPass(hp, 1.0);
    EXPECT_EQ(first, hp.a); // (1 - 0) a + a * 0
    double y = first;
    for (int i = 0; i < 88200; ++i)
        y = runHighPass(hp, 1.0);
    EXPECT_LT(std::abs(y), 1e-6);
    for (int i = 0; i < 1000; ++i)
        y = runLowPass(lp, 2.0);
    EXPECT_NEAR(y, 2.0, 1e-12);
}

TEST_F(SmallSections, ShelfIsUnityAtDcAndFiveNinthsAtNyquist)
{
    const ShelfSection& f = model->shelfFilter;
    const double b[2] = {f.g * f.c2, f.g * f.c3};
    const double a[2] = {1.0, f.g * f.c1};
    EXPECT_NEAR(digitalMagnitude(b, a, 2, 0.0), 1.0, 1e-12);
    EXPECT_NEAR(digitalMagnitude(b, a, 2, test::kPi), 5.0 / 9.0, 1e-12);
    // A constant through the recursion itself.
    ShelfSection s = f;
    double y = 0.0;
    for (int i = 0; i < 2000; ++i)
        y = runShelf(s, 3.0);
    EXPECT_NEAR(y, 3.0, 1e-9);
}

TEST_F(SmallSections, RumbleFilterBlocksDcAndPassesMidrange)
{
    const BiquadSection& f = model->rumbleFilter;
    EXPECT_EQ(f.b0 + f.b1 + f.b2, 0.0);
    BiquadSection run = f;
    double y = 0.0;
    for (int i = 0; i < 88200; ++i)
        y = runBiquad(run, 1.0);
    EXPECT_LT(std::abs(y), 1e-12);
    EXPECT_NEAR(biquadMagnitude(f, 5000.0, 88200.0), 1.0, 1e-3);
    // Second order at 60 Hz with Q 0.7: close to -3 dB at the corner (0.7 rather than 1/sqrt 2).
    EXPECT_NEAR(biquadMagnitude(f, 60.0, 88200.0), 0.7, 1e-3);
}

TEST_F(SmallSections, MidBoostPeaksAtFiveHundredHertz)
{
    EXPECT_NEAR(biquadMagnitude(model->midBoostFilter, 500.0, 88200.0), 1.585, 1e-6);
    EXPECT_NEAR(biquadMagnitude(model->midBoostFilter, 0.0, 88200.0), 1.0, 1e-12);
    EXPECT_LT(biquadMagnitude(model->midBoostFilter, 400.0, 88200.0), 1.585);
    EXPECT_LT(biquadMagnitude(model->midBoostFilter, 600.0, 88200.0), 1.585);
}

TEST_F(SmallSections, BleedShelfGainRisesFromDc)
{
    const BiquadSection& f = model->bleedShelfFilter;
    EXPECT_NEAR(biquadMagnitude(f, 0.0, 88200.0), 0.0001 / 0.00011, 1e-12);
    EXPECT_NEAR(biquadMagnitude(f, 10000.0, 88200.0), 0.9927, 1e-4);
    EXPECT_EQ(f.a2, 0.0);
    EXPECT_EQ(f.b2, 0.0);
}

} // namespace
} // namespace quarvine
