// SPDX-License-Identifier: GPL-3.0-or-later
// The two control-driven networks of the reference chain, derived from their circuits rather
// than from coefficient tables: nodal analysis gives the network's response at any s, and the
// bilinear transform is taken point by point on the unit circle, where an inverse DFT turns it
// into the z-domain coefficients.
#pragma once

#include <array>
#include <vector>

namespace quarvine::reference {

// A two-terminal part between nodes a and b: an internal node (0 to nodes - 1), test::kGround or
// test::kSource. A resistor of 0 ohms joins its two nodes.
struct Part {
    int a, b;
    bool capacitor;
    double value;
};

struct Circuit {
    int nodes;
    int output;
    std::vector<Part> parts;
};

// Fourth-order recursive filter in powers of z^-1, normalised so that a[0] = 1.
struct Filter4 {
    std::array<double, 5> b{};
    std::array<double, 5> a{};
    // Largest coefficient above the 4th power (and largest imaginary part), relative to the
    // largest coefficient: rounding-sized when the circuit really is 4th order.
    double residual = 0.0;
};

// The bilinear transform s = k (1 - z^-1) / (1 + z^-1) of V(output) / V(source).
Filter4 bilinearFilter(const Circuit& circuit, double k);

// Treble/middle/bass stack with its treble-cut branch and load; t, m, b, h are the control values.
Circuit toneStackCircuit(double t, double m, double b, double h);

// Coupling, leak, bypassed series resistor, drive pot with bright capacitor, output RC; d is the
// drive value.
Circuit driveNetworkCircuit(double d);

} // namespace quarvine::reference
