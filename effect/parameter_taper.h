// SPDX-License-Identifier: GPL-3.0-or-later
// The cubic taper of Master, Drive and Bass, clamped to the range the circuit model expects.
#pragma once

#include "dsp/control_taper.h"

namespace quarvine {

inline double parameterTaper(float value)
{
    double t = taperLaw(value);
    if (t < 0.0001)
        t = 0.0001;
    if (t > 0.9999)
        t = 0.9999;
    return t;
}

} // namespace quarvine
