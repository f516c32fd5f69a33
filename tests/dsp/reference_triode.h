// SPDX-License-Identifier: GPL-3.0-or-later
// Reference triode gain stage: load-line valve fit, grid conduction through the grid source
// resistance, bypassed cathode by backward Euler, and the damped bias solve that starts it.
#pragma once

#include <vector>

namespace quarvine::reference {

struct TriodeParts {
    double gridResistance;
    double cathodeResistance;
    double cathodeCapacitance;
    double plateResistance;
    double initialPlateVoltage; // where the bias iteration starts
    std::vector<double> fit;    // interleaved: even positions numerator, odd positions denominator
};

// The three stages of the amplifier.
TriodeParts firstTriode();
TriodeParts secondTriode();
TriodeParts thirdTriode();

class Triode {
public:
    Triode(const TriodeParts& parts, double rate);

    double biasPlateVoltage() const { return bias; }
    double cathodeVoltage() const { return cathode; }
    // One sample: x drives the grid through the grid resistance; the result is the plate voltage.
    double step(double x);

    // Plate-to-cathode voltage for a grid-to-cathode voltage, valid from -10 V up.
    double fit(double vgk) const;

    // How often the grid conducted and the valve was cut off: the test checks that its signal
    // reaches both.
    long gridConductionSamples = 0;
    long cutoffSamples = 0;

private:
    std::vector<double> coefficients;
    double rate;
    double gridFactor;       // grid-current law times the grid resistance, V^-1
    double gridResistance;
    double cathodeResistance;
    double cathodeCapacitance;
    double plateResistance;
    double cutoffVoltage;    // fit(-10): the supply end of the load line
    double bias;
    double cathode;
};

} // namespace quarvine::reference
