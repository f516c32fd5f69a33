// SPDX-License-Identifier: GPL-3.0-or-later
// The passive treble/middle/bass tone-stack network with its fixed treble-cut branch and load.
// Its 4th-order transfer function has coefficients that are polynomials in the four control
// positions; the builder reduces the network to the 135 term coefficients once, and the run-time
// step only re-evaluates those polynomials when a control changes.
#pragma once

namespace quarvine {

inline constexpr int kToneStackTermCount = 135;

struct ToneStackFilter {
    double bilinearPowers[4] = {};                         // K, K^2, K^3, K^4 with K = 2 * rate
    double coefficientTable[kToneStackTermCount] = {};     // A0..A4, B1..B4 term by term
    double filterState[5] = {};                            // transposed direct form II
    double runtimeCoefficients[10] = {};                   // Z0, a1..a4, b0..b4
    double cachedControls[4] = {};                         // b, m, t, h of the last refresh
};

// The network's parts, in farad and ohm, named as in the nodal formulas. Input driven, output at
// the treble pot's wiper O; t, m, b, h are the control positions.
struct ToneStackComponents {
    double c1; // F: treble capacitor, input to T (top of the treble pot)
    double c2; // F: bass capacitor, N to B (bottom of the treble pot, top of the bass pot)
    double c3; // F: middle capacitor, N to the middle pot's wiper W
    double c4; // F: treble-cut branch, in series with R5 and (1 - h) R6 from O to ground
    double r1; // ohm: slope resistor, input to N
    double r2; // ohm: treble pot: T to O (1 - t) R2, O to B t R2
    double r3; // ohm: bass pot as a variable resistor, B to M: b R3
    double r4; // ohm: middle pot: M to W (1 - m) R4, W to ground m R4
    double r5; // ohm: treble-cut branch's fixed resistor
    double r6; // ohm: treble-cut branch's pot
    double r7; // ohm: load, O to ground
};

// Which analog coefficient (0..4 for A0..A4, 5..8 for B1..B4) a table entry belongs to, and the
// powers of t, m, b and h in its monomial.
struct ToneStackTerm {
    unsigned char coefficient, t, m, b, h;
};
extern const ToneStackTerm kToneStackTerms[kToneStackTermCount];

// A control value can never take this, so the first call always computes the coefficients.
inline constexpr double kUnsetControl = 10.0;

void buildToneStack(ToneStackFilter& filter, const ToneStackComponents& parts, double rate);

// Analog coefficients A0..A4 (a[0..4]) and B0..B4 (bCoefficients[0..4], B0 always 0) for controls.
void evaluateToneStackPolynomials(const ToneStackFilter& filter, double b, double m, double t, double h,
                                  double (&a)[5], double (&bCoefficients)[5]);

void refreshToneStack(ToneStackFilter& filter, double b, double m, double t, double h);

// The recursion with the coefficients c (Z0, alpha1..4, beta0..4), in transposed direct form II.
inline double runToneStackWith(ToneStackFilter& filter, const double* c, double x)
{
    double* s = filter.filterState;
    const double y = c[5] * x + s[0];
    s[0] = c[6] * x + s[1] - c[1] * y;
    s[1] = c[7] * x + s[2] - c[2] * y;
    s[2] = c[8] * x + s[3] - c[3] * y;
    s[3] = c[9] * x + s[4] - c[4] * y;
    return y;
}

inline double runToneStack(ToneStackFilter& filter, double b, double m, double t, double h, double x)
{
    const double* cached = filter.cachedControls;
    if (b != cached[0] || m != cached[1] || t != cached[2] || h != cached[3])
        refreshToneStack(filter, b, m, t, h);
    return runToneStackWith(filter, filter.runtimeCoefficients, x);
}

} // namespace quarvine
