// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/triode_stage.h"

namespace quarvine {
namespace {

template <int CoefficientCount>
double initStage(TriodeStage<CoefficientCount>& stage, const double (&coefficients)[CoefficientCount],
                 const TriodeComponents& parts)
{
    stage.cathodeCapacitance = parts.cathodeCapacitance;
    for (int i = 0; i < CoefficientCount; ++i)
        stage.fitCoefficients[i] = coefficients[i];
    // Grid current 0.000375 A/V^2 times the squared positive grid-cathode voltage, fed through Rg.
    constexpr double gridCurrentPerVoltSquared = 0.000375; // A/V^2
    const double m = parts.gridResistance * gridCurrentPerVoltSquared + 1e-20;
    stage.gridConductionFactor = m;
    stage.halfInverseGridFactor = 1.0 / (2.0 * m);
    // The fit at cut-off stands for the supply end of the load line.
    stage.cutoffPlateVoltage = evaluateTriodeFit(stage.fitCoefficients, -10.0);

    double vp = parts.initialPlateVoltage;
    const double r = parts.plateResistance + 1e-20;
    double vk = 0.0;
    // Damped fixed-point iteration on the plate voltage with the grid at 0 V; it settles well
    // within the fixed number of steps for these component sets.
    for (int step = 0; step < 200; ++step) {
        const double ip = (stage.cutoffPlateVoltage - vp) / r;
        vk = parts.cathodeResistance * ip;
        const double vgk = -vk;
        vp = vp + 0.2 * (vk + evaluateTriodeFit(stage.fitCoefficients, vgk) - vp);
    }
    stage.plateVoltage = vp;
    stage.cathodeVoltage = vk;
    stage.plateCurrent = (stage.cutoffPlateVoltage - vp) / r;
    stage.gridVoltage = 0.0;
    stage.gridCurrent = 0.0;

    stage.gridConductance = 1.0 / (parts.gridResistance + 1e-20);
    stage.plateConductance = 1.0 / r;
    const double period = 1.0 / parts.rate;
    stage.cathodeGain = period * parts.cathodeResistance /
                        (period + parts.cathodeResistance * parts.cathodeCapacitance);
    return vp;
}

} // namespace

double initTriodeStage(TriodeStage67& stage, const double (&coefficients)[14], const TriodeComponents& parts)
{
    return initStage(stage, coefficients, parts);
}

double initTriodeStage(TriodeStage1010& stage, const double (&coefficients)[21], const TriodeComponents& parts)
{
    return initStage(stage, coefficients, parts);
}

} // namespace quarvine
