// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers the chain tests share.
#pragma once

#include "dsp/amp_controls.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quarvine::chain_test {

// Every knob at its middle (as stored, untapered) and Volume full.
inline void setMiddleSettings(AmpControls& c)
{
    AmpControls::store(c.masterLevel, 0.5);
    AmpControls::store(c.driveLevel, 0.5);
    AmpControls::store(c.trebleSetting, 0.5);
    AmpControls::store(c.middleSetting, 0.5);
    AmpControls::store(c.bassLevel, 0.5);
    AmpControls::store(c.outputVolume, 1.0);
}

inline double peakOf(const std::vector<float>& x)
{
    double peak = 0.0;
    for (float v : x)
        peak = std::max(peak, static_cast<double>(std::abs(v)));
    return peak;
}

} // namespace quarvine::chain_test
