// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/half_band_design.h"

#include <cmath>
#include <numbers>

namespace quarvine {

void designHalfBand(double transition, int count, double* coefficients)
{
    const double pi = std::numbers::pi;
    const int order = 2 * count + 1;
    // Selectivity of the elliptic prototype and its nome q (four terms of the series are exact
    // in double precision for every useful transition).
    const double k = std::pow(std::tan((1.0 - 2.0 * transition) * pi / 4.0), 2.0);
    const double rootComplement = std::sqrt(std::sqrt(1.0 - k * k));
    const double e = 0.5 * (1.0 - rootComplement) / (1.0 + rootComplement);
    const double q = e + 2.0 * std::pow(e, 5.0) + 15.0 * std::pow(e, 9.0) + 150.0 * std::pow(e, 13.0);

    for (int i = 1; i <= count; ++i) {
        // The pole's position from the elliptic function's theta series.
        double numerator = 0.0;
        double denominator = 0.0;
        for (int m = 0; m < 10; ++m) {
            const double sign = m % 2 == 0 ? 1.0 : -1.0;
            numerator += sign * std::pow(q, m * (m + 1.0)) * std::sin((2.0 * m + 1.0) * i * pi / order);
            if (m > 0)
                denominator += sign * std::pow(q, m * static_cast<double>(m)) * std::cos(2.0 * m * i * pi / order);
        }
        const double w = 2.0 * std::pow(q, 0.25) * numerator / (1.0 + 2.0 * denominator);
        const double w2 = w * w;
        const double v = std::sqrt((1.0 - w2 * k) * (1.0 - w2 / k)) / (1.0 + w2);
        coefficients[i - 1] = (1.0 - v) / (1.0 + v);
    }
}

} // namespace quarvine
