// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference_triode.h"

#include <cmath>

namespace quarvine::reference {

TriodeParts firstTriode()
{
    return {12000, 1820, 2.2e-6, 220000, 200,
            {87.4286, 0.277817, -65.74, 0.636527, 36.1482, 0.244455, -5.58638, 0.0601759, 0.870708, 0.00632796,
             -0.0366109, 0.000355421, 0.00112917, 7.49175e-06}};
}

TriodeParts secondTriode()
{
    return {470000, 1820, 2.2e-6, 100000, 280,
            {131.912, -0.136055, -90.5622, -0.163445, -12.2022, -0.0411551, 7.58692, -0.00483172, 2.61273,
             -0.000325513, 0.321742, -1.40063e-06, 0.0226592, -1.25314e-06}};
}

TriodeParts thirdTriode()
{
    return {255000, 1820, 2.2e-6, 100000, 200,
            {85.6665619146815, -1.670773393951679, -225.7871622384632, 1.086868401377699, 232.9675748464225,
             -0.06789196893594668, -93.23078622832318, -0.0688839764521339, -1.923269070353934,
             0.002045202157408487, 8.113255755148115, 0.003121208125835805, 0.5996125569049522,
             -1.651582057001785e-05, -0.4244702008069797, -0.0001076518179232398, -0.1013353879608394,
             -1.390207450574723e-05, -0.009161296554364607, -1.899704031014881e-07, -0.0001554309853862633}};
}

Triode::Triode(const TriodeParts& parts, double rate_)
    : coefficients(parts.fit), rate(rate_), gridFactor(parts.gridResistance * 0.000375 + 1e-20),
      gridResistance(parts.gridResistance + 1e-20), cathodeResistance(parts.cathodeResistance),
      cathodeCapacitance(parts.cathodeCapacitance), plateResistance(parts.plateResistance + 1e-20),
      cutoffVoltage(fit(-10.0)), bias(parts.initialPlateVoltage), cathode(0.0)
{
    // Damped fixed point of: the plate current through the load line sets the cathode voltage,
    // which (grid at 0 V) sets the grid-to-cathode voltage and through the fit the plate voltage.
    for (int i = 0; i < 200; ++i) {
        const double plateCurrent = (cutoffVoltage - bias) / plateResistance;
        cathode = cathodeResistance * plateCurrent;
        bias = bias + 0.2 * (cathode + fit(-cathode) - bias);
    }
}

double Triode::fit(double vgk) const
{
    const int n = static_cast<int>(coefficients.size());
    double numerator = 0.0;
    for (int i = (n - 1) / 2 * 2; i >= 0; i -= 2)
        numerator = numerator * vgk + coefficients[i];
    double inner = 0.0; // denominator minus its constant 1, divided by vgk
    for (int i = (n % 2 == 0) ? n - 1 : n - 2; i >= 1; i -= 2)
        inner = inner * vgk + coefficients[i];
    return numerator / (1.0 + vgk * inner);
}

double Triode::step(double x)
{
    const double v = cathode;
    double grid = x;
    if (x - v > 0.0) {
        // The grid rises above the cathode only by u, where m u^2 + u = x - v: the rest drops across
        // the grid resistance carrying the grid current.
        const double m = gridFactor;
        grid = v + (std::sqrt(1.0 + 4.0 * m * (x - v)) - 1.0) / (2.0 * m);
        ++gridConductionSamples;
    }
    const double gridCurrent = (x - grid) / gridResistance;
    const double vgk = grid - v;
    double plateToCathode = cutoffVoltage;
    if (vgk < -10.0)
        ++cutoffSamples;
    else
        plateToCathode = fit(vgk);
    const double plate = v + plateToCathode;
    const double plateCurrent = (cutoffVoltage - plate) / plateResistance;
    // Backward Euler on the cathode node: Ck (w - v) rate = Ip + Ig - w / Rk.
    const double w = (cathodeCapacitance * v * rate + plateCurrent + gridCurrent) /
                     (cathodeCapacitance * rate + 1.0 / cathodeResistance);
    cathode = w > 0.0 ? w : 0.0;
    return plate;
}

} // namespace quarvine::reference
