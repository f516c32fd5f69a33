// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_signal.h"

#include <algorithm>
#include <cmath>

namespace soundreport {

std::vector<float> sine(double hz, double dbfs, std::size_t frames, double rate)
{
    constexpr double kPi = 3.14159265358979323846;
    const double amplitude = std::pow(10.0, dbfs / 20.0);
    std::vector<float> y(frames);
    for (std::size_t n = 0; n < frames; ++n)
        y[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(n) / rate));
    return y;
}

double largestJump(const std::vector<float>& y, std::size_t from, std::size_t to)
{
    double largest = 0.0;
    for (std::size_t n = std::max<std::size_t>(from, 1); n < std::min(to, y.size()); ++n)
        largest = std::max(largest, std::fabs(static_cast<double>(y[n]) - y[n - 1]));
    return largest;
}

double peak(const std::vector<float>& y, std::size_t from, std::size_t to)
{
    double largest = 0.0;
    for (std::size_t n = from; n < std::min(to, y.size()); ++n)
        largest = std::max(largest, std::fabs(static_cast<double>(y[n])));
    return largest;
}

std::size_t longestRunBelow(const std::vector<float>& y, std::size_t from, std::size_t to, double threshold)
{
    std::size_t longest = 0, run = 0;
    for (std::size_t n = from; n < std::min(to, y.size()); ++n) {
        // A non-finite sample is not silence.
        run = std::fabs(static_cast<double>(y[n])) < threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

std::size_t countNonFinite(const std::vector<float>& y)
{
    return static_cast<std::size_t>(std::count_if(y.begin(), y.end(), [](float s) { return !std::isfinite(s); }));
}

} // namespace soundreport
