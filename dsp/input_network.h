// SPDX-License-Identifier: GPL-3.0-or-later
// The drive network between the first two triode stages: coupling capacitor, grid leak, bypassed
// series resistor, the drive pot with a bright capacitor across its upper leg, and a series
// resistor into a small shunt capacitance. Its discretised coefficients are stored split by power
// of the drive value, so a drive change costs a few multiply-adds per coefficient.
#pragma once

namespace quarvine {

struct InputNetworkFilter {
    double constantTerms[10] = {};       // a0..a4, b0..b4 at drive 0
    double networkCoefficients[10] = {}; // current coefficients, same order
    double linearTerms[10] = {};         // terms in d
    double quadraticTerms[10] = {};      // terms in d^2
    double cachedDrive = 0.0;
    double inverseA0 = 0.0;
    double inputHistory[4] = {};         // x1 (latest) .. x4
    double outputHistory[4] = {};        // y1 (latest) .. y4
};

// The network's parts, in farad and ohm. Input into node P, output at node Y; d is the drive.
struct InputNetworkComponents {
    double couplingCapacitance; // F: Cc, input to P
    double bypassCapacitance;   // F: Cs, across Rs (P to Q)
    double brightCapacitance;   // F: Cb, across the pot's upper leg (Q to wiper W)
    double outputCapacitance;   // F: Co, Y to ground
    double seriesResistance;    // ohm: Rs, P to Q
    double leakResistance;      // ohm: Rl, grid leak, P to ground
    double potResistance;       // ohm: Rp, drive pot: Q to W (1 - d) Rp, W to ground d Rp
    double outputResistance;    // ohm: Ro, W to Y
};

// Analog polynomial groups by power of s (index 0..4): H(s) = (d N1 + d^2 N2) / (D0 + d D1 + d^2 D2).
struct InputNetworkPolynomials {
    double d0[5], d1[5], d2[5], n1[5], n2[5];
};

InputNetworkPolynomials inputNetworkPolynomials(const InputNetworkComponents& parts);

// initialInput is the level the input rests at (the first stage's bias plate voltage), so that
// start-up causes no step.
void buildInputNetwork(InputNetworkFilter& filter, const InputNetworkComponents& parts, double rate,
                       double initialInput);

inline void refreshInputNetwork(InputNetworkFilter& filter, double d)
{
    filter.cachedDrive = d;
    for (int i = 0; i < 10; ++i)
        filter.networkCoefficients[i] =
            filter.linearTerms[i] * d + filter.constantTerms[i] + filter.quadraticTerms[i] * (d * d);
    filter.inverseA0 = 1.0 / filter.networkCoefficients[0];
}

inline double runInputNetwork(InputNetworkFilter& filter, double d, double x)
{
    if (d != filter.cachedDrive)
        refreshInputNetwork(filter, d);
    const double* c = filter.networkCoefficients;
    double* xh = filter.inputHistory;
    double* yh = filter.outputHistory;
    const double y = (c[5] * x + c[6] * xh[0] + c[7] * xh[1] + c[8] * xh[2] + c[9] * xh[3] - c[1] * yh[0] -
                      c[2] * yh[1] - c[3] * yh[2] - c[4] * yh[3]) *
                     filter.inverseA0;
    xh[3] = xh[2];
    xh[2] = xh[1];
    xh[1] = xh[0];
    xh[0] = x;
    yh[3] = yh[2];
    yh[2] = yh[1];
    yh[1] = yh[0];
    yh[0] = y;
    return y;
}

} // namespace quarvine
