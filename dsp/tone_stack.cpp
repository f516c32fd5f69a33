// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/tone_stack.h"

namespace quarvine {

// Storage order of the term coefficients: {coefficient, t, m, b, h}.
const ToneStackTerm kToneStackTerms[kToneStackTermCount] = {
    {0, 0, 0, 0, 0},
    {0, 1, 0, 0, 0},
    {0, 0, 0, 1, 0},
    {1, 0, 0, 0, 0},
    {1, 1, 0, 0, 0},
    {1, 0, 1, 0, 0},
    {1, 0, 0, 1, 0},
    {1, 0, 0, 0, 1},
    {1, 1, 0, 0, 1},
    {1, 0, 1, 1, 0},
    {1, 1, 1, 0, 0},
    {1, 1, 0, 1, 0},
    {1, 0, 2, 0, 0},
    {1, 2, 0, 0, 0},
    {1, 0, 0, 1, 1},
    {2, 0, 0, 0, 0},
    {2, 2, 0, 0, 0},
    {2, 0, 2, 0, 0},
    {2, 1, 0, 0, 1},
    {2, 0, 1, 1, 0},
    {2, 0, 1, 0, 1},
    {2, 1, 1, 0, 0},
    {2, 1, 0, 1, 0},
    {2, 1, 2, 0, 0},
    {2, 0, 0, 1, 1},
    {2, 1, 1, 1, 0},
    {2, 0, 2, 0, 1},
    {2, 1, 0, 1, 1},
    {2, 0, 1, 0, 0},
    {2, 1, 0, 0, 0},
    {2, 0, 0, 0, 1},
    {2, 2, 1, 0, 0},
    {2, 0, 0, 1, 0},
    {2, 2, 0, 0, 1},
    {2, 1, 1, 0, 1},
    {2, 2, 0, 1, 0},
    {2, 0, 1, 1, 1},
    {3, 0, 0, 0, 0},
    {3, 1, 2, 0, 1},
    {3, 0, 1, 0, 0},
    {3, 1, 1, 1, 1},
    {3, 2, 1, 0, 0},
    {3, 2, 0, 0, 1},
    {3, 1, 0, 0, 1},
    {3, 0, 1, 1, 0},
    {3, 0, 1, 0, 1},
    {3, 0, 2, 0, 1},
    {3, 1, 1, 0, 0},
    {3, 1, 0, 1, 0},
    {3, 1, 2, 0, 0},
    {3, 0, 0, 1, 1},
    {3, 2, 0, 1, 0},
    {3, 1, 0, 1, 1},
    {3, 0, 1, 1, 1},
    {3, 1, 1, 1, 0},
    {3, 1, 1, 0, 1},
    {3, 0, 0, 1, 0},
    {3, 1, 0, 0, 0},
    {3, 2, 0, 0, 0},
    {3, 0, 0, 0, 1},
    {3, 0, 2, 0, 0},
    {3, 2, 1, 0, 1},
    {3, 2, 0, 1, 1},
    {3, 2, 1, 1, 0},
    {3, 2, 2, 0, 0},
    {4, 0, 0, 0, 0},
    {4, 1, 1, 0, 1},
    {4, 1, 1, 0, 0},
    {4, 0, 1, 1, 0},
    {4, 2, 1, 0, 1},
    {4, 1, 2, 0, 0},
    {4, 0, 0, 0, 1},
    {4, 0, 0, 1, 1},
    {4, 1, 1, 1, 0},
    {4, 0, 1, 1, 1},
    {4, 2, 2, 0, 0},
    {4, 1, 0, 1, 0},
    {4, 0, 2, 0, 0},
    {4, 2, 0, 1, 1},
    {4, 2, 0, 0, 1},
    {4, 1, 0, 0, 0},
    {4, 0, 0, 1, 0},
    {4, 0, 1, 0, 0},
    {4, 2, 0, 0, 0},
    {4, 0, 1, 0, 1},
    {4, 2, 1, 1, 0},
    {4, 1, 2, 0, 1},
    {4, 1, 1, 1, 1},
    {4, 2, 1, 0, 0},
    {4, 1, 0, 1, 1},
    {4, 1, 0, 0, 1},
    {4, 2, 2, 0, 1},
    {4, 2, 1, 1, 1},
    {4, 2, 0, 1, 0},
    {4, 0, 2, 0, 1},
    {5, 0, 0, 0, 0},
    {5, 1, 0, 0, 0},
    {5, 0, 1, 0, 0},
    {5, 0, 0, 1, 0},
    {6, 0, 0, 0, 0},
    {6, 1, 0, 0, 1},
    {6, 0, 1, 0, 1},
    {6, 0, 0, 1, 1},
    {6, 0, 0, 0, 1},
    {6, 1, 0, 0, 0},
    {6, 0, 2, 0, 0},
    {6, 0, 1, 1, 0},
    {6, 0, 1, 0, 0},
    {6, 0, 0, 1, 0},
    {7, 0, 0, 0, 0},
    {7, 1, 0, 0, 1},
    {7, 0, 2, 0, 1},
    {7, 0, 1, 1, 1},
    {7, 0, 1, 0, 1},
    {7, 0, 0, 1, 1},
    {7, 0, 0, 0, 1},
    {7, 1, 1, 0, 0},
    {7, 1, 0, 1, 0},
    {7, 1, 0, 0, 0},
    {7, 0, 2, 0, 0},
    {7, 0, 1, 1, 0},
    {7, 0, 1, 0, 0},
    {7, 0, 0, 1, 0},
    {8, 1, 0, 0, 1},
    {8, 1, 0, 1, 1},
    {8, 1, 1, 0, 1},
    {8, 0, 2, 0, 1},
    {8, 0, 1, 1, 1},
    {8, 0, 1, 0, 1},
    {8, 1, 1, 0, 0},
    {8, 1, 0, 1, 0},
    {8, 1, 0, 0, 0},
    {8, 0, 2, 0, 0},
    {8, 0, 1, 1, 0},
    {8, 0, 1, 0, 0},
};

namespace {

// The term coefficients from symbolic nodal analysis of the network, scaled so that
// A0 = -(R4 + R7) - t R2 - b R3, in the storage order of kToneStackTerms.
void fillToneStackTable(double (&e)[kToneStackTermCount], const ToneStackComponents& parts)
{
    const double C1 = parts.c1, C2 = parts.c2, C3 = parts.c3, C4 = parts.c4;
    const double R1 = parts.r1, R2 = parts.r2, R3 = parts.r3, R4 = parts.r4, R5 = parts.r5, R6 = parts.r6,
                 R7 = parts.r7;
    int n = 0;
    // A0
    e[n++] = -(R4 + R7); // 1
    e[n++] = -R2; // t
    e[n++] = -R3; // b
    // A1
    e[n++] = -(C1 * R2 * R4 + C1 * R2 * R7 + C1 * R4 * R7 + C2 * R1 * R4 + C2 * R1 * R7 + C2 * R4 * R7 + C3 * R1 * R4 + C3 * R1 * R7 + C4 * R4 * R5 + C4 * R4 * R6 + C4 * R4 * R7 + C4 * R5 * R7 + C4 * R6 * R7); // 1
    e[n++] = R2 * (-C1 * R2 + C1 * R4 - C2 * R1 - C2 * R4 - C3 * R1 - C4 * R5 - C4 * R6 - C4 * R7); // t
    e[n++] = -C3 * R4 * (R4 + R7); // m
    e[n++] = -R3 * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7 + C3 * R1 + C4 * R5 + C4 * R6 + C4 * R7); // b
    e[n++] = C4 * R6 * (R4 + R7); // h
    e[n++] = C4 * R2 * R6; // t*h
    e[n++] = -C3 * R3 * R4; // b*m
    e[n++] = -C3 * R2 * R4; // m*t
    e[n++] = R2 * R3 * (C1 - C2); // b*t
    e[n++] = C3 * (R4 * R4); // m^2
    e[n++] = C1 * (R2 * R2); // t^2
    e[n++] = C4 * R3 * R6; // b*h
    // A2
    e[n++] = -(C1 * C2 * R1 * R2 * R4 + C1 * C2 * R1 * R2 * R7 + C1 * C2 * R1 * R4 * R7 + C1 * C2 * R2 * R4 * R7 + C1 * C3 * R1 * R2 * R4 + C1 * C3 * R1 * R2 * R7 + C1 * C3 * R1 * R4 * R7 + C1 * C4 * R2 * R4 * R5 + C1 * C4 * R2 * R4 * R6 + C1 * C4 * R2 * R4 * R7 + C1 * C4 * R2 * R5 * R7 + C1 * C4 * R2 * R6 * R7 + C1 * C4 * R4 * R5 * R7 + C1 * C4 * R4 * R6 * R7 + C2 * C3 * R1 * R4 * R7 + C2 * C4 * R1 * R4 * R5 + C2 * C4 * R1 * R4 * R6 + C2 * C4 * R1 * R4 * R7 + C2 * C4 * R1 * R5 * R7 + C2 * C4 * R1 * R6 * R7 + C2 * C4 * R4 * R5 * R7 + C2 * C4 * R4 * R6 * R7 + C3 * C4 * R1 * R4 * R5 + C3 * C4 * R1 * R4 * R6 + C3 * C4 * R1 * R4 * R7 + C3 * C4 * R1 * R5 * R7 + C3 * C4 * R1 * R6 * R7); // 1
    e[n++] = C1 * (R2 * R2) * (C2 * R1 + C2 * R4 + C3 * R1 + C4 * R5 + C4 * R6 + C4 * R7); // t^2
    e[n++] = C3 * (R4 * R4) * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7 + C4 * R5 + C4 * R6 + C4 * R7); // m^2
    e[n++] = C4 * R2 * R6 * (C1 * R2 - C1 * R4 + C2 * R1 + C2 * R4 + C3 * R1); // t*h
    e[n++] = -C3 * R3 * R4 * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7 + C4 * R5 + C4 * R6 + C4 * R7); // b*m
    e[n++] = C3 * C4 * R4 * R6 * (R4 + R7); // m*h
    e[n++] = C3 * R2 * R4 * (-C1 * R2 + C1 * R4 + C2 * R1 - C2 * R4 - C4 * R5 - C4 * R6 - C4 * R7); // m*t
    e[n++] = R2 * R3 * (C1 * C2 * R1 - C1 * C2 * R2 + C1 * C3 * R1 + C1 * C4 * R5 + C1 * C4 * R6 + C1 * C4 * R7 - C2 * C3 * R1 - C2 * C4 * R5 - C2 * C4 * R6 - C2 * C4 * R7); // b*t
    e[n++] = C3 * R2 * (R4 * R4) * (-C1 + C2); // m^2*t
    e[n++] = C4 * R3 * R6 * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7 + C3 * R1); // b*h
    e[n++] = C3 * R2 * R3 * R4 * (C1 - C2); // b*m*t
    e[n++] = -C3 * C4 * (R4 * R4) * R6; // m^2*h
    e[n++] = C4 * R2 * R3 * R6 * (-C1 + C2); // b*t*h
    e[n++] = C3 * R4 * (-C1 * R2 * R4 - C1 * R2 * R7 - C1 * R4 * R7 - C2 * R1 * R4 + C2 * R1 * R7 - C2 * R4 * R7 - C4 * R4 * R5 - C4 * R4 * R6 - C4 * R4 * R7 - C4 * R5 * R7 - C4 * R6 * R7); // m
    e[n++] = R2 * (-C1 * C2 * R1 * R2 + C1 * C2 * R1 * R4 - C1 * C2 * R2 * R4 - C1 * C3 * R1 * R2 + C1 * C3 * R1 * R4 - C1 * C4 * R2 * R5 - C1 * C4 * R2 * R6 - C1 * C4 * R2 * R7 + C1 * C4 * R4 * R5 + C1 * C4 * R4 * R6 + C1 * C4 * R4 * R7 - C2 * C3 * R1 * R4 - C2 * C4 * R1 * R5 - C2 * C4 * R1 * R6 - C2 * C4 * R1 * R7 - C2 * C4 * R4 * R5 - C2 * C4 * R4 * R6 - C2 * C4 * R4 * R7 - C3 * C4 * R1 * R5 - C3 * C4 * R1 * R6 - C3 * C4 * R1 * R7); // t
    e[n++] = C4 * R6 * (C1 * R2 * R4 + C1 * R2 * R7 + C1 * R4 * R7 + C2 * R1 * R4 + C2 * R1 * R7 + C2 * R4 * R7 + C3 * R1 * R4 + C3 * R1 * R7); // h
    e[n++] = C1 * C3 * (R2 * R2) * R4; // m*t^2
    e[n++] = -R3 * (C1 * C2 * R1 * R2 + C1 * C2 * R1 * R7 + C1 * C2 * R2 * R7 + C1 * C3 * R1 * R2 + C1 * C3 * R1 * R7 + C1 * C4 * R2 * R5 + C1 * C4 * R2 * R6 + C1 * C4 * R2 * R7 + C1 * C4 * R5 * R7 + C1 * C4 * R6 * R7 + C2 * C3 * R1 * R7 + C2 * C4 * R1 * R5 + C2 * C4 * R1 * R6 + C2 * C4 * R1 * R7 + C2 * C4 * R5 * R7 + C2 * C4 * R6 * R7 + C3 * C4 * R1 * R5 + C3 * C4 * R1 * R6 + C3 * C4 * R1 * R7); // b
    e[n++] = -C1 * C4 * (R2 * R2) * R6; // t^2*h
    e[n++] = C3 * C4 * R2 * R4 * R6; // m*t*h
    e[n++] = C1 * C2 * (R2 * R2) * R3; // b*t^2
    e[n++] = C3 * C4 * R3 * R4 * R6; // b*m*h
    // A3
    e[n++] = -(C1 * C2 * C3 * R1 * R2 * R4 * R7 + C1 * C2 * C4 * R1 * R2 * R4 * R5 + C1 * C2 * C4 * R1 * R2 * R4 * R6 + C1 * C2 * C4 * R1 * R2 * R4 * R7 + C1 * C2 * C4 * R1 * R2 * R5 * R7 + C1 * C2 * C4 * R1 * R2 * R6 * R7 + C1 * C2 * C4 * R1 * R4 * R5 * R7 + C1 * C2 * C4 * R1 * R4 * R6 * R7 + C1 * C2 * C4 * R2 * R4 * R5 * R7 + C1 * C2 * C4 * R2 * R4 * R6 * R7 + C1 * C3 * C4 * R1 * R2 * R4 * R5 + C1 * C3 * C4 * R1 * R2 * R4 * R6 + C1 * C3 * C4 * R1 * R2 * R4 * R7 + C1 * C3 * C4 * R1 * R2 * R5 * R7 + C1 * C3 * C4 * R1 * R2 * R6 * R7 + C1 * C3 * C4 * R1 * R4 * R5 * R7 + C1 * C3 * C4 * R1 * R4 * R6 * R7 + C2 * C3 * C4 * R1 * R4 * R5 * R7 + C2 * C3 * C4 * R1 * R4 * R6 * R7); // 1
    e[n++] = C3 * C4 * R2 * (R4 * R4) * R6 * (C1 - C2); // m^2*t*h
    e[n++] = C3 * R4 * (-C1 * C2 * R1 * R2 * R4 + C1 * C2 * R1 * R2 * R7 - C1 * C2 * R1 * R4 * R7 - C1 * C2 * R2 * R4 * R7 - C1 * C4 * R2 * R4 * R5 - C1 * C4 * R2 * R4 * R6 - C1 * C4 * R2 * R4 * R7 - C1 * C4 * R2 * R5 * R7 - C1 * C4 * R2 * R6 * R7 - C1 * C4 * R4 * R5 * R7 - C1 * C4 * R4 * R6 * R7 - C2 * C4 * R1 * R4 * R5 - C2 * C4 * R1 * R4 * R6 - C2 * C4 * R1 * R4 * R7 + C2 * C4 * R1 * R5 * R7 + C2 * C4 * R1 * R6 * R7 - C2 * C4 * R4 * R5 * R7 - C2 * C4 * R4 * R6 * R7); // m
    e[n++] = C3 * C4 * R2 * R3 * R4 * R6 * (-C1 + C2); // b*m*t*h
    e[n++] = C1 * C3 * (R2 * R2) * R4 * (-C2 * R1 + C2 * R4 + C4 * R5 + C4 * R6 + C4 * R7); // m*t^2
    e[n++] = -C1 * C4 * (R2 * R2) * R6 * (C2 * R1 + C2 * R4 + C3 * R1); // t^2*h
    e[n++] = C4 * R2 * R6 * (C1 * C2 * R1 * R2 - C1 * C2 * R1 * R4 + C1 * C2 * R2 * R4 + C1 * C3 * R1 * R2 - C1 * C3 * R1 * R4 + C2 * C3 * R1 * R4); // t*h
    e[n++] = -C3 * R3 * R4 * (C1 * C2 * R1 * R2 + C1 * C2 * R1 * R7 + C1 * C2 * R2 * R7 + C1 * C4 * R2 * R5 + C1 * C4 * R2 * R6 + C1 * C4 * R2 * R7 + C1 * C4 * R5 * R7 + C1 * C4 * R6 * R7 + C2 * C4 * R1 * R5 + C2 * C4 * R1 * R6 + C2 * C4 * R1 * R7 + C2 * C4 * R5 * R7 + C2 * C4 * R6 * R7); // b*m
    e[n++] = C3 * C4 * R4 * R6 * (C1 * R2 * R4 + C1 * R2 * R7 + C1 * R4 * R7 + C2 * R1 * R4 - C2 * R1 * R7 + C2 * R4 * R7); // m*h
    e[n++] = -C3 * C4 * (R4 * R4) * R6 * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7); // m^2*h
    e[n++] = C3 * R2 * R4 * (C1 * C2 * R1 * R2 + C1 * C2 * R1 * R4 - C1 * C2 * R2 * R4 - C1 * C4 * R2 * R5 - C1 * C4 * R2 * R6 - C1 * C4 * R2 * R7 + C1 * C4 * R4 * R5 + C1 * C4 * R4 * R6 + C1 * C4 * R4 * R7 + C2 * C4 * R1 * R5 + C2 * C4 * R1 * R6 + C2 * C4 * R1 * R7 - C2 * C4 * R4 * R5 - C2 * C4 * R4 * R6 - C2 * C4 * R4 * R7); // m*t
    e[n++] = R2 * R3 * (-C1 * C2 * C3 * R1 * R2 + C1 * C2 * C4 * R1 * R5 + C1 * C2 * C4 * R1 * R6 + C1 * C2 * C4 * R1 * R7 - C1 * C2 * C4 * R2 * R5 - C1 * C2 * C4 * R2 * R6 - C1 * C2 * C4 * R2 * R7 + C1 * C3 * C4 * R1 * R5 + C1 * C3 * C4 * R1 * R6 + C1 * C3 * C4 * R1 * R7 - C2 * C3 * C4 * R1 * R5 - C2 * C3 * C4 * R1 * R6 - C2 * C3 * C4 * R1 * R7); // b*t
    e[n++] = C3 * R2 * (R4 * R4) * (-C1 * C2 * R1 + C1 * C2 * R2 - C1 * C4 * R5 - C1 * C4 * R6 - C1 * C4 * R7 + C2 * C4 * R5 + C2 * C4 * R6 + C2 * C4 * R7); // m^2*t
    e[n++] = C4 * R3 * R6 * (C1 * C2 * R1 * R2 + C1 * C2 * R1 * R7 + C1 * C2 * R2 * R7 + C1 * C3 * R1 * R2 + C1 * C3 * R1 * R7 + C2 * C3 * R1 * R7); // b*h
    e[n++] = C1 * C2 * (R2 * R2) * R3 * (C3 * R1 + C4 * R5 + C4 * R6 + C4 * R7); // b*t^2
    e[n++] = C4 * R2 * R3 * R6 * (-C1 * C2 * R1 + C1 * C2 * R2 - C1 * C3 * R1 + C2 * C3 * R1); // b*t*h
    e[n++] = C3 * C4 * R3 * R4 * R6 * (C1 * R2 + C1 * R7 + C2 * R1 + C2 * R7); // b*m*h
    e[n++] = C3 * R2 * R3 * R4 * (C1 * C2 * R1 - C1 * C2 * R2 + C1 * C4 * R5 + C1 * C4 * R6 + C1 * C4 * R7 - C2 * C4 * R5 - C2 * C4 * R6 - C2 * C4 * R7); // b*m*t
    e[n++] = C3 * C4 * R2 * R4 * R6 * (C1 * R2 - C1 * R4 - C2 * R1 + C2 * R4); // m*t*h
    e[n++] = -R3 * (C1 * C2 * C3 * R1 * R2 * R7 + C1 * C2 * C4 * R1 * R2 * R5 + C1 * C2 * C4 * R1 * R2 * R6 + C1 * C2 * C4 * R1 * R2 * R7 + C1 * C2 * C4 * R1 * R5 * R7 + C1 * C2 * C4 * R1 * R6 * R7 + C1 * C2 * C4 * R2 * R5 * R7 + C1 * C2 * C4 * R2 * R6 * R7 + C1 * C3 * C4 * R1 * R2 * R5 + C1 * C3 * C4 * R1 * R2 * R6 + C1 * C3 * C4 * R1 * R2 * R7 + C1 * C3 * C4 * R1 * R5 * R7 + C1 * C3 * C4 * R1 * R6 * R7 + C2 * C3 * C4 * R1 * R5 * R7 + C2 * C3 * C4 * R1 * R6 * R7); // b
    e[n++] = R2 * (-C1 * C2 * C3 * R1 * R2 * R4 - C1 * C2 * C4 * R1 * R2 * R5 - C1 * C2 * C4 * R1 * R2 * R6 - C1 * C2 * C4 * R1 * R2 * R7 + C1 * C2 * C4 * R1 * R4 * R5 + C1 * C2 * C4 * R1 * R4 * R6 + C1 * C2 * C4 * R1 * R4 * R7 - C1 * C2 * C4 * R2 * R4 * R5 - C1 * C2 * C4 * R2 * R4 * R6 - C1 * C2 * C4 * R2 * R4 * R7 - C1 * C3 * C4 * R1 * R2 * R5 - C1 * C3 * C4 * R1 * R2 * R6 - C1 * C3 * C4 * R1 * R2 * R7 + C1 * C3 * C4 * R1 * R4 * R5 + C1 * C3 * C4 * R1 * R4 * R6 + C1 * C3 * C4 * R1 * R4 * R7 - C2 * C3 * C4 * R1 * R4 * R5 - C2 * C3 * C4 * R1 * R4 * R6 - C2 * C3 * C4 * R1 * R4 * R7); // t
    e[n++] = C1 * (R2 * R2) * (C2 * C3 * R1 * R4 + C2 * C4 * R1 * R5 + C2 * C4 * R1 * R6 + C2 * C4 * R1 * R7 + C2 * C4 * R4 * R5 + C2 * C4 * R4 * R6 + C2 * C4 * R4 * R7 + C3 * C4 * R1 * R5 + C3 * C4 * R1 * R6 + C3 * C4 * R1 * R7); // t^2
    e[n++] = C4 * R6 * (C1 * C2 * R1 * R2 * R4 + C1 * C2 * R1 * R2 * R7 + C1 * C2 * R1 * R4 * R7 + C1 * C2 * R2 * R4 * R7 + C1 * C3 * R1 * R2 * R4 + C1 * C3 * R1 * R2 * R7 + C1 * C3 * R1 * R4 * R7 + C2 * C3 * R1 * R4 * R7); // h
    e[n++] = C3 * (R4 * R4) * (C1 * C2 * R1 * R2 + C1 * C2 * R1 * R7 + C1 * C2 * R2 * R7 + C1 * C4 * R2 * R5 + C1 * C4 * R2 * R6 + C1 * C4 * R2 * R7 + C1 * C4 * R5 * R7 + C1 * C4 * R6 * R7 + C2 * C4 * R1 * R5 + C2 * C4 * R1 * R6 + C2 * C4 * R1 * R7 + C2 * C4 * R5 * R7 + C2 * C4 * R6 * R7); // m^2
    e[n++] = -C1 * C3 * C4 * (R2 * R2) * R4 * R6; // m*t^2*h
    e[n++] = -C1 * C2 * C4 * (R2 * R2) * R3 * R6; // b*t^2*h
    e[n++] = C1 * C2 * C3 * (R2 * R2) * R3 * R4; // b*m*t^2
    e[n++] = -C1 * C2 * C3 * (R2 * R2) * (R4 * R4); // m^2*t^2
    // A4
    e[n++] = -C1 * C2 * C3 * C4 * R1 * R2 * R4 * R7 * (R5 + R6); // 1
    e[n++] = C1 * C2 * C3 * C4 * R2 * R4 * R6 * (-R1 * R2 - R1 * R4 + R2 * R4); // m*t*h
    e[n++] = C1 * C2 * C3 * C4 * R2 * R4 * (R1 * R2 * R5 + R1 * R2 * R6 + R1 * R2 * R7 + R1 * R4 * R5 + R1 * R4 * R6 + R1 * R4 * R7 - R2 * R4 * R5 - R2 * R4 * R6 - R2 * R4 * R7); // m*t
    e[n++] = -C1 * C2 * C3 * C4 * R3 * R4 * (R1 * R2 * R5 + R1 * R2 * R6 + R1 * R2 * R7 + R1 * R5 * R7 + R1 * R6 * R7 + R2 * R5 * R7 + R2 * R6 * R7); // b*m
    e[n++] = C1 * C2 * C3 * C4 * (R2 * R2) * R4 * R6 * (R1 - R4); // m*t^2*h
    e[n++] = C1 * C2 * C3 * C4 * R2 * (R4 * R4) * (-R1 * R5 - R1 * R6 - R1 * R7 + R2 * R5 + R2 * R6 + R2 * R7); // m^2*t
    e[n++] = C1 * C2 * C3 * C4 * R1 * R2 * R4 * R6 * R7; // h
    e[n++] = C1 * C2 * C3 * C4 * R1 * R2 * R3 * R6 * R7; // b*h
    e[n++] = C1 * C2 * C3 * C4 * R2 * R3 * R4 * (R1 * R5 + R1 * R6 + R1 * R7 - R2 * R5 - R2 * R6 - R2 * R7); // b*m*t
    e[n++] = C1 * C2 * C3 * C4 * R3 * R4 * R6 * (R1 * R2 + R1 * R7 + R2 * R7); // b*m*h
    e[n++] = -C1 * C2 * C3 * C4 * (R2 * R2) * (R4 * R4) * (R5 + R6 + R7); // m^2*t^2
    e[n++] = -C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R3 * (R5 + R6 + R7); // b*t
    e[n++] = C1 * C2 * C3 * C4 * (R4 * R4) * (R1 * R2 * R5 + R1 * R2 * R6 + R1 * R2 * R7 + R1 * R5 * R7 + R1 * R6 * R7 + R2 * R5 * R7 + R2 * R6 * R7); // m^2
    e[n++] = -C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R3 * R6; // b*t^2*h
    e[n++] = -C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R4 * R6; // t^2*h
    e[n++] = -C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R4 * (R5 + R6 + R7); // t
    e[n++] = -C1 * C2 * C3 * C4 * R1 * R2 * R3 * R7 * (R5 + R6); // b
    e[n++] = C1 * C2 * C3 * C4 * R4 * (-R1 * R2 * R4 * R5 - R1 * R2 * R4 * R6 - R1 * R2 * R4 * R7 + R1 * R2 * R5 * R7 + R1 * R2 * R6 * R7 - R1 * R4 * R5 * R7 - R1 * R4 * R6 * R7 - R2 * R4 * R5 * R7 - R2 * R4 * R6 * R7); // m
    e[n++] = C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R4 * (R5 + R6 + R7); // t^2
    e[n++] = C1 * C2 * C3 * C4 * R4 * R6 * (R1 * R2 * R4 - R1 * R2 * R7 + R1 * R4 * R7 + R2 * R4 * R7); // m*h
    e[n++] = C1 * C2 * C3 * C4 * (R2 * R2) * R3 * R4 * (R5 + R6 + R7); // b*m*t^2
    e[n++] = C1 * C2 * C3 * C4 * R2 * (R4 * R4) * R6 * (R1 - R2); // m^2*t*h
    e[n++] = C1 * C2 * C3 * C4 * R2 * R3 * R4 * R6 * (-R1 + R2); // b*m*t*h
    e[n++] = C1 * C2 * C3 * C4 * (R2 * R2) * R4 * (-R1 * R5 - R1 * R6 - R1 * R7 + R4 * R5 + R4 * R6 + R4 * R7); // m*t^2
    e[n++] = C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R3 * R6; // b*t*h
    e[n++] = C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R4 * R6; // t*h
    e[n++] = C1 * C2 * C3 * C4 * (R2 * R2) * (R4 * R4) * R6; // m^2*t^2*h
    e[n++] = -C1 * C2 * C3 * C4 * (R2 * R2) * R3 * R4 * R6; // b*m*t^2*h
    e[n++] = C1 * C2 * C3 * C4 * R1 * (R2 * R2) * R3 * (R5 + R6 + R7); // b*t^2
    e[n++] = -C1 * C2 * C3 * C4 * (R4 * R4) * R6 * (R1 * R2 + R1 * R7 + R2 * R7); // m^2*h
    // B1
    e[n++] = -R4 * R7 * (C1 + C2); // 1
    e[n++] = -C1 * R2 * R7; // t
    e[n++] = -C3 * R4 * R7; // m
    e[n++] = -R3 * R7 * (C1 + C2); // b
    // B2
    e[n++] = -R4 * R7 * (C1 * C2 * R1 + C1 * C2 * R2 + C1 * C3 * R1 + C1 * C4 * R5 + C1 * C4 * R6 + C2 * C4 * R5 + C2 * C4 * R6); // 1
    e[n++] = C1 * C4 * R2 * R6 * R7; // t*h
    e[n++] = C3 * C4 * R4 * R6 * R7; // m*h
    e[n++] = C4 * R3 * R6 * R7 * (C1 + C2); // b*h
    e[n++] = C4 * R4 * R6 * R7 * (C1 + C2); // h
    e[n++] = -C1 * R2 * R7 * (C2 * R1 + C3 * R1 + C4 * R5 + C4 * R6); // t
    e[n++] = C3 * (R4 * R4) * R7 * (C1 + C2); // m^2
    e[n++] = -C3 * R3 * R4 * R7 * (C1 + C2); // b*m
    e[n++] = -C3 * R4 * R7 * (C1 * R2 + C1 * R4 + C2 * R4 + C4 * R5 + C4 * R6); // m
    e[n++] = -R3 * R7 * (C1 * C2 * R1 + C1 * C2 * R2 + C1 * C3 * R1 + C1 * C4 * R5 + C1 * C4 * R6 + C2 * C4 * R5 + C2 * C4 * R6); // b
    // B3
    e[n++] = -C1 * C4 * R4 * R7 * (C2 * R1 * R5 + C2 * R1 * R6 + C2 * R2 * R5 + C2 * R2 * R6 + C3 * R1 * R5 + C3 * R1 * R6); // 1
    e[n++] = C1 * C4 * R1 * R2 * R6 * R7 * (C2 + C3); // t*h
    e[n++] = -C3 * C4 * (R4 * R4) * R6 * R7 * (C1 + C2); // m^2*h
    e[n++] = C3 * C4 * R3 * R4 * R6 * R7 * (C1 + C2); // b*m*h
    e[n++] = C3 * C4 * R4 * R6 * R7 * (C1 * R2 + C1 * R4 + C2 * R4); // m*h
    e[n++] = C1 * C4 * R3 * R6 * R7 * (C2 * R1 + C2 * R2 + C3 * R1); // b*h
    e[n++] = C1 * C4 * R4 * R6 * R7 * (C2 * R1 + C2 * R2 + C3 * R1); // h
    e[n++] = C1 * C2 * C3 * R1 * R2 * R4 * R7; // m*t
    e[n++] = -C1 * C2 * C3 * R1 * R2 * R3 * R7; // b*t
    e[n++] = -C1 * R1 * R2 * R7 * (C2 * C3 * R4 + C2 * C4 * R5 + C2 * C4 * R6 + C3 * C4 * R5 + C3 * C4 * R6); // t
    e[n++] = C3 * (R4 * R4) * R7 * (C1 * C2 * R1 + C1 * C2 * R2 + C1 * C4 * R5 + C1 * C4 * R6 + C2 * C4 * R5 + C2 * C4 * R6); // m^2
    e[n++] = -C3 * R3 * R4 * R7 * (C1 * C2 * R1 + C1 * C2 * R2 + C1 * C4 * R5 + C1 * C4 * R6 + C2 * C4 * R5 + C2 * C4 * R6); // b*m
    e[n++] = -C3 * R4 * R7 * (C1 * C2 * R1 * R4 + C1 * C2 * R2 * R4 + C1 * C4 * R2 * R5 + C1 * C4 * R2 * R6 + C1 * C4 * R4 * R5 + C1 * C4 * R4 * R6 + C2 * C4 * R4 * R5 + C2 * C4 * R4 * R6); // m
    e[n++] = -C1 * C4 * R3 * R7 * (C2 * R1 * R5 + C2 * R1 * R6 + C2 * R2 * R5 + C2 * R2 * R6 + C3 * R1 * R5 + C3 * R1 * R6); // b
    // B4
    e[n++] = C1 * C2 * C3 * C4 * R1 * R2 * R4 * R6 * R7; // t*h
    e[n++] = C1 * C2 * C3 * C4 * R1 * R2 * R3 * R6 * R7; // b*t*h
    e[n++] = -C1 * C2 * C3 * C4 * R1 * R2 * R4 * R6 * R7; // m*t*h
    e[n++] = -C1 * C2 * C3 * C4 * (R4 * R4) * R6 * R7 * (R1 + R2); // m^2*h
    e[n++] = C1 * C2 * C3 * C4 * R3 * R4 * R6 * R7 * (R1 + R2); // b*m*h
    e[n++] = C1 * C2 * C3 * C4 * (R4 * R4) * R6 * R7 * (R1 + R2); // m*h
    e[n++] = C1 * C2 * C3 * C4 * R1 * R2 * R4 * R7 * (R5 + R6); // m*t
    e[n++] = -C1 * C2 * C3 * C4 * R1 * R2 * R3 * R7 * (R5 + R6); // b*t
    e[n++] = -C1 * C2 * C3 * C4 * R1 * R2 * R4 * R7 * (R5 + R6); // t
    e[n++] = C1 * C2 * C3 * C4 * (R4 * R4) * R7 * (R1 * R5 + R1 * R6 + R2 * R5 + R2 * R6); // m^2
    e[n++] = -C1 * C2 * C3 * C4 * R3 * R4 * R7 * (R1 * R5 + R1 * R6 + R2 * R5 + R2 * R6); // b*m
    e[n++] = -C1 * C2 * C3 * C4 * (R4 * R4) * R7 * (R1 * R5 + R1 * R6 + R2 * R5 + R2 * R6); // m
}

} // namespace

void buildToneStack(ToneStackFilter& filter, const ToneStackComponents& parts, double rate)
{
    const double k = 2.0 * rate;
    filter.bilinearPowers[0] = k;
    filter.bilinearPowers[1] = k * k;
    filter.bilinearPowers[2] = k * k * k;
    filter.bilinearPowers[3] = k * k * k * k;
    fillToneStackTable(filter.coefficientTable, parts);
    for (double& s : filter.filterState)
        s = 0.0;
    for (double& c : filter.runtimeCoefficients)
        c = 0.0;
    for (double& c : filter.cachedControls)
        c = kUnsetControl;
}

void evaluateToneStackPolynomials(const ToneStackFilter& filter, double b, double m, double t, double h,
                                  double (&a)[5], double (&bCoefficients)[5])
{
    const double tPowers[3] = {1.0, t, t * t};
    const double mPowers[3] = {1.0, m, m * m};
    const double bPowers[2] = {1.0, b};
    const double hPowers[2] = {1.0, h};
    double sums[9] = {};
    for (int i = 0; i < kToneStackTermCount; ++i) {
        const ToneStackTerm& term = kToneStackTerms[i];
        const double monomial = tPowers[term.t] * mPowers[term.m] * bPowers[term.b] * hPowers[term.h];
        sums[term.coefficient] += filter.coefficientTable[i] * monomial;
    }
    for (int i = 0; i < 5; ++i)
        a[i] = sums[i];
    bCoefficients[0] = 0.0;
    for (int i = 1; i < 5; ++i)
        bCoefficients[i] = sums[4 + i];
}

// Bilinear transform s = K (1 - 1/z) / (1 + 1/z), normalised by the z^0 denominator coefficient.
void refreshToneStack(ToneStackFilter& filter, double b, double m, double t, double h)
{
    filter.cachedControls[0] = b;
    filter.cachedControls[1] = m;
    filter.cachedControls[2] = t;
    filter.cachedControls[3] = h;
    double a[5];
    double bc[5];
    evaluateToneStackPolynomials(filter, b, m, t, h, a, bc);
    const double A0 = a[0], A1 = a[1], A2 = a[2], A3 = a[3], A4 = a[4];
    const double B1 = bc[1], B2 = bc[2], B3 = bc[3], B4 = bc[4];
    const double K = filter.bilinearPowers[0], K2 = filter.bilinearPowers[1], K3 = filter.bilinearPowers[2],
                 K4 = filter.bilinearPowers[3];
    double* c = filter.runtimeCoefficients;
    const double z0 = A0 + K * A1 + K2 * A2 + K3 * A3 + K4 * A4;
    c[0] = z0;
    const double n = 1.0 / (z0 + 1e-20);
    c[1] = n * (4.0 * A0 + 2.0 * K * A1 - 2.0 * K3 * A3 - 4.0 * K4 * A4);
    c[2] = n * (6.0 * A0 - 2.0 * K2 * A2 + 6.0 * K4 * A4);
    c[3] = n * (4.0 * A0 - 2.0 * K * A1 + 2.0 * K3 * A3 - 4.0 * K4 * A4);
    c[4] = n * (A0 - K * A1 + K2 * A2 - K3 * A3 + K4 * A4);
    c[5] = n * (K * B1 + K2 * B2 + K3 * B3 + K4 * B4);
    c[6] = n * (2.0 * K * B1 - 2.0 * K3 * B3 - 4.0 * K4 * B4);
    c[7] = n * (-2.0 * K2 * B2 + 6.0 * K4 * B4);
    c[8] = n * (-2.0 * K * B1 + 2.0 * K3 * B3 - 4.0 * K4 * B4);
    c[9] = n * (-K * B1 + K2 * B2 - K3 * B3 + K4 * B4);
}

} // namespace quarvine
