// SPDX-License-Identifier: GPL-3.0-or-later
// Common-cathode triode gain stage: a load-line model in which one rational fit stands for the
// valve and its plate resistor (plate-to-cathode voltage as a function of grid-to-cathode voltage),
// with grid conduction through the grid source resistance and a bypassed cathode resistor.
#pragma once

#include <cmath>

namespace quarvine {

// CoefficientCount is 14 for the [6/7] fit and 21 for the [10/10] fit. Even positions belong to
// the numerator, odd ones to the denominator, whose constant term is 1.
template <int CoefficientCount>
struct TriodeStage {
    static_assert(CoefficientCount == 14 || CoefficientCount == 21);
    double cathodeCapacitance = 0.0;
    double cutoffPlateVoltage = 0.0;
    double plateCurrent = 0.0;
    double gridCurrent = 0.0;
    double gridVoltage = 0.0;
    double cathodeVoltage = 0.0;
    double plateVoltage = 0.0;
    double gridConductionFactor = 0.0;
    double fitCoefficients[CoefficientCount] = {};
    double gridConductance = 0.0;
    double plateConductance = 0.0;
    double cathodeGain = 0.0;
    double halfInverseGridFactor = 0.0;
};

using TriodeStage67 = TriodeStage<14>;
using TriodeStage1010 = TriodeStage<21>;

// One stage's parts, in ohm, farad, volt and hertz.
struct TriodeComponents {
    double gridResistance;      // ohm: Rg, the source resistance the grid is driven through
    double cathodeResistance;   // ohm: Rk, cathode to ground
    double cathodeCapacitance;  // F: Ck, the bypass capacitor across Rk
    double plateResistance;     // ohm: Rp, the plate resistor (its load line)
    double initialPlateVoltage; // V: where the bias iteration starts
    double rate;                // Hz: the rate the stage runs at
};

// The fit N(x)/D(x), both by Horner's rule from the highest power down.
template <int CoefficientCount>
inline double evaluateTriodeFit(const double (&c)[CoefficientCount], double x)
{
    constexpr int lastEven = (CoefficientCount - 1) / 2 * 2;
    constexpr int lastOdd = CoefficientCount / 2 * 2 - 1;
    double numerator = c[lastEven];
    for (int i = lastEven - 2; i >= 0; i -= 2)
        numerator = numerator * x + c[i];
    double inner = c[lastOdd];
    for (int i = lastOdd - 2; i >= 1; i -= 2)
        inner = inner * x + c[i];
    double denominator = 1.0 + x * inner;
    return numerator / denominator;
}

// Fills the record and solves the bias point; returns the bias plate voltage.
double initTriodeStage(TriodeStage67& stage, const double (&coefficients)[14], const TriodeComponents& parts);
double initTriodeStage(TriodeStage1010& stage, const double (&coefficients)[21], const TriodeComponents& parts);

// One sample: x drives the grid through the grid source resistance; returns the plate voltage.
template <int CoefficientCount>
inline double runTriodeStage(TriodeStage<CoefficientCount>& stage, double x, double rate)
{
    const double v = stage.cathodeVoltage;
    const double m = stage.gridConductionFactor;
    stage.gridVoltage = x;
    if (x - v > 0.0) {
        // The root u of m(u - v)^2 + (u - v) = x - v: what the grid current leaves above the cathode.
        stage.gridVoltage =
            (std::sqrt((1.0 - 4.0 * m * v) + 4.0 * m * x) + (2.0 * m * v - 1.0)) * stage.halfInverseGridFactor;
    }
    stage.gridCurrent = (x - stage.gridVoltage) * stage.gridConductance;
    const double d = stage.gridVoltage - v;
    const double p = d < -10.0 ? stage.cutoffPlateVoltage : evaluateTriodeFit(stage.fitCoefficients, d);
    stage.plateVoltage = v + p;
    stage.plateCurrent = (stage.cutoffPlateVoltage - stage.plateVoltage) * stage.plateConductance;
    // Backward Euler on the cathode node: Ck (w - v) rate = Ip + Ig - w / Rk.
    const double w = (stage.cathodeCapacitance * v * rate + (stage.plateCurrent + stage.gridCurrent)) *
                     stage.cathodeGain;
    stage.cathodeVoltage = w > 0.0 ? w : 0.0;
    return stage.plateVoltage;
}

} // namespace quarvine
