// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/circuit_model.h"
#include "dsp/triode_stage.h"

#include <gtest/gtest.h>

#include <memory>

namespace quarvine {
namespace {

struct BiasPoint {
    double cutoff, plate, plateCurrentMilliamps, cathode;
};

template <int N>
void expectBias(const TriodeStage<N>& stage, double biasReturned, BiasPoint expected)
{
    EXPECT_NEAR(stage.cutoffPlateVoltage, expected.cutoff, 1e-4);
    EXPECT_NEAR(biasReturned, expected.plate, 1e-4);
    EXPECT_EQ(stage.plateVoltage, biasReturned);
    EXPECT_NEAR(stage.plateCurrent * 1000.0, expected.plateCurrentMilliamps, 1e-5);
    EXPECT_NEAR(stage.cathodeVoltage, expected.cathode, 1e-5);
    EXPECT_EQ(stage.gridVoltage, 0.0);
    EXPECT_EQ(stage.gridCurrent, 0.0);
}

TEST(TriodeStage, BiasPointsOfTheThreeStagesAtTheDefaultRate)
{
    auto model = std::make_unique<CircuitModel>();
    buildCircuitModel(*model, 44100.0);
    EXPECT_EQ(model->internalRate, 88200.0);
    expectBias(model->triode1, model->triode1BiasPlateVoltage, {350.4972, 190.3983, 0.72772, 1.32445});
    expectBias(model->triode2, model->triode2BiasPlateVoltage, {392.3805, 276.8392, 1.15541, 2.10285});
    expectBias(model->triode3, model->triode3BiasPlateVoltage, {419.9459, 280.6947, 1.39251, 2.53437});
    // The bias point satisfies the load line: Vk = Rk * Ip.
    EXPECT_NEAR(model->triode1.cathodeVoltage, 1820.0 * model->triode1.plateCurrent, 1e-9);
}

TEST(TriodeStage, FitAtZeroIsTheLeadingCoefficientOfBothForms)
{
    EXPECT_EQ(evaluateTriodeFit(kTriode1Fit, 0.0), 87.4286);
    EXPECT_EQ(evaluateTriodeFit(kTriode2Fit, 0.0), 131.912);
    EXPECT_EQ(evaluateTriodeFit(kTriode3Fit, 0.0), 85.6665619146815);
}

TEST(TriodeStage, FitFormsPairEvenPositionsWithTheNumerator)
{
    // N(x) = 1 + 2x, D(x) = 1 + 3x + 5x^2 (higher terms zero) at x = 2: 5 / 27.
    double short14[14] = {1.0, 3.0, 2.0, 5.0};
    double long21[21] = {1.0, 3.0, 2.0, 5.0};
    EXPECT_DOUBLE_EQ(evaluateTriodeFit(short14, 2.0), 5.0 / 27.0);
    EXPECT_DOUBLE_EQ(evaluateTriodeFit(long21, 2.0), 5.0 / 27.0);
    // Highest terms: c13 multiplies x^7 in the [6/7] form, c20 multiplies x^10 in the [10/10] form.
    double top14[14] = {};
    top14[13] = 1.0;
    top14[12] = 1.0;
    EXPECT_DOUBLE_EQ(evaluateTriodeFit(top14, 2.0), 64.0 / 129.0);
    double top21[21] = {};
    top21[20] = 1.0;
    top21[19] = 1.0;
    EXPECT_DOUBLE_EQ(evaluateTriodeFit(top21, 2.0), 1024.0 / 1025.0);
}

// The first stage's parts at the model rate of a 44.1 kHz host.
constexpr TriodeComponents kTriode1Parts{.gridResistance = 12e3,       // ohm
                                         .cathodeResistance = 1.82e3,  // ohm
                                         .cathodeCapacitance = 2.2e-6, // F
                                         .plateResistance = 220e3,     // ohm
                                         .initialPlateVoltage = 200.0, // V
                                         .rate = 88200.0};             // Hz

class Triode1 : public ::testing::Test {
protected:
    void SetUp() override { bias = initTriodeStage(stage, kTriode1Fit, kTriode1Parts); }
    TriodeStage67 stage;
    double bias = 0.0;
};

TEST_F(Triode1, QuiescentInputKeepsTheBiasPoint)
{
    double first = runTriodeStage(stage, 0.0, 88200.0);
    EXPECT_NEAR(first, bias, 1e-6);
    for (int i = 0; i < 1000; ++i)
        runTriodeStage(stage, 0.0, 88200.0);
    EXPECT_NEAR(runTriodeStage(stage, 0.0, 88200.0), bias, 1e-6);
}

TEST_F(Triode1, InputAtTheCathodeVoltageDrawsNoGridCurrent)
{
    double v = stage.cathodeVoltage;
    double plate = runTriodeStage(stage, v, 88200.0);
    EXPECT_EQ(stage.gridCurrent, 0.0);
    EXPECT_EQ(plate, v + 87.4286);
}

TEST_F(Triode1, GridConductionTenVoltsAboveTheCathode)
{
    double v = stage.cathodeVoltage;
    runTriodeStage(stage, v + 10.0, 88200.0);
    // m d^2 + d = 10 with m = 12000 * 0.000375 = 4.5.
    double d = (-1.0 + std::sqrt(1.0 + 4.0 * 4.5 * 10.0)) / (2.0 * 4.5);
    EXPECT_NEAR(stage.gridVoltage - v, 1.38374, 1e-5);
    EXPECT_NEAR(stage.gridVoltage - v, d, 1e-9);
    EXPECT_NEAR(stage.gridCurrent * 1000.0, 0.71802, 1e-5);
}

TEST_F(Triode1, BeyondCutoffThePlateSitsAtTheSupplyEnd)
{
    double v = stage.cathodeVoltage;
    double plate = runTriodeStage(stage, -50.0, 88200.0);
    EXPECT_EQ(plate, v + stage.cutoffPlateVoltage);
    EXPECT_EQ(stage.plateCurrent, (stage.cutoffPlateVoltage - plate) * stage.plateConductance);
    EXPECT_NEAR(stage.plateCurrent, -v / 220000.0, 1e-15);
}

TEST_F(Triode1, CathodeNeverGoesNegative)
{
    stage.cathodeVoltage = 0.0;
    for (int i = 0; i < 100; ++i) {
        runTriodeStage(stage, -50.0, 88200.0);
        ASSERT_GE(stage.cathodeVoltage, 0.0);
    }
    EXPECT_EQ(stage.cathodeVoltage, 0.0);
}

TEST(TriodeStage, WithoutCathodeResistorTheBiasIsTheFitAtZero)
{
    TriodeStage67 stage;
    TriodeComponents parts = kTriode1Parts;
    parts.cathodeResistance = 0.0;
    double bias = initTriodeStage(stage, kTriode1Fit, parts);
    EXPECT_EQ(stage.cathodeGain, 0.0);
    EXPECT_EQ(stage.cathodeVoltage, 0.0);
    // Vp <- Vp + 0.2 (c0 - Vp) for 200 steps from 200 V.
    EXPECT_NEAR(bias, 87.4286, 1e-9);
}

} // namespace
} // namespace quarvine
