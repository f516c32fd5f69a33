// SPDX-License-Identifier: GPL-3.0-or-later
// Test tones and the time-domain measures of the report.
#pragma once

#include <cstddef>
#include <vector>

namespace soundreport {

// A sine of `frames` samples at `hz`, its peak `dbfs` below full scale.
std::vector<float> sine(double hz, double dbfs, std::size_t frames, double rate);

// Largest |y[n] - y[n-1]| for n in [from, to).
double largestJump(const std::vector<float>& y, std::size_t from, std::size_t to);

// Largest |y[n]| for n in [from, to).
double peak(const std::vector<float>& y, std::size_t from, std::size_t to);

// Longest run of consecutive samples in [from, to) with |y| below `threshold`.
std::size_t longestRunBelow(const std::vector<float>& y, std::size_t from, std::size_t to, double threshold);

std::size_t countNonFinite(const std::vector<float>& y);

} // namespace soundreport
