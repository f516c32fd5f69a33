// SPDX-License-Identifier: GPL-3.0-or-later
// The cubic law of the Master, Drive and Bass potentiometers: the level the circuit sees at a knob
// position, and the position that gives a level. The effect clamps the law's output to the range
// the model expects; the glide moves these three controls along the knob's travel, where a host's
// evenly spaced automation points are evenly spaced, instead of along the steep curve they map to.
#pragma once

namespace quarvine {

inline double taperLaw(double position)
{
    const double v = position;
    return 1.1426 * v * v * v - 0.1662 * v * v + 0.0229 * v;
}

// The law rises everywhere (its slope never falls below 0.0148), so every level has one position.
// Bisection: used only when a glide starts, and exact to the last bit of a double for levels the
// knob's travel (plus a margin) can reach.
inline double taperPosition(double level)
{
    double below = -0.25, above = 1.25;
    for (int i = 0; i < 64; ++i) {
        const double middle = 0.5 * (below + above);
        if (taperLaw(middle) < level)
            below = middle;
        else
            above = middle;
    }
    return 0.5 * (below + above);
}

} // namespace quarvine
