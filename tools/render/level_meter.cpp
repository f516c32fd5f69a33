// SPDX-License-Identifier: GPL-3.0-or-later
#include "level_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace render {

void LevelMeter::add(const float* samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const double value = samples[i];
        if (!std::isfinite(value)) {
            ++nonFiniteCount;
            continue;
        }
        peak = std::max(peak, std::fabs(value));
        sumSquares += value * value;
        ++finiteCount;
    }
}

Level LevelMeter::level() const
{
    auto toDb = [](double power) {
        return power > 0.0 ? 10.0 * std::log10(power) : -std::numeric_limits<double>::infinity();
    };
    return {toDb(peak * peak), toDb(finiteCount ? sumSquares / static_cast<double>(finiteCount) : 0.0)};
}

} // namespace render
