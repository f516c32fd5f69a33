// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace soundreport {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

// Whether bin frequency f lies within `tolerance` Hz of a multiple k >= 1 of hz.
bool nearHarmonic(double f, double hz, double tolerance)
{
    const double k = std::round(f / hz);
    return k >= 1.0 && std::fabs(f - k * hz) <= tolerance;
}

} // namespace

PowerSpectrum::PowerSpectrum(const std::vector<float>& signal, std::size_t start, std::size_t frames, double rate,
                             Window window)
    : binWidth(rate / static_cast<double>(frames))
{
    const std::size_t bins = frames / 2 + 1;
    std::unique_ptr<double, FftwFree> in(fftw_alloc_real(frames));
    std::unique_ptr<fftw_complex, FftwFree> out(fftw_alloc_complex(bins));
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(frames), in.get(), out.get(), FFTW_ESTIMATE);
    const bool harris = window == Window::BlackmanHarris;
    const double a0 = harris ? 0.35875 : 0.355768, a1 = harris ? 0.48829 : 0.487396;
    const double a2 = harris ? 0.14128 : 0.144232, a3 = harris ? 0.01168 : 0.012604;
    for (std::size_t n = 0; n < frames; ++n) {
        const double x = 2.0 * kPi * static_cast<double>(n) / static_cast<double>(frames);
        const double w = a0 - a1 * std::cos(x) + a2 * std::cos(2.0 * x) - a3 * std::cos(3.0 * x);
        const std::size_t at = start + n;
        in.get()[n] = w * (at < signal.size() ? static_cast<double>(signal[at]) : 0.0);
    }
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    power.resize(bins);
    for (std::size_t k = 0; k < bins; ++k)
        power[k] = out.get()[k][0] * out.get()[k][0] + out.get()[k][1] * out.get()[k][1];
}

double PowerSpectrum::around(double hz, int halfWidth) const
{
    const auto centre = static_cast<long>(std::lround(hz / binWidth));
    double sum = 0.0;
    for (long k = std::max(0L, centre - halfWidth); k <= centre + halfWidth && k < static_cast<long>(power.size()); ++k)
        sum += power[static_cast<std::size_t>(k)];
    return sum;
}

double toDb(double powerRatio)
{
    return powerRatio > 0.0 ? 10.0 * std::log10(powerRatio) : -std::numeric_limits<double>::infinity();
}

double ToneAnalysis::aliasingDbc() const
{
    return toDb(nonHarmonic / fundamental);
}

double ToneAnalysis::thdPercent() const
{
    return 100.0 * std::sqrt(harmonics / fundamental);
}

ToneAnalysis analyseTone(const PowerSpectrum& spectrum, double hz, double lowHz, double highHz)
{
    ToneAnalysis result;
    result.fundamental = spectrum.around(hz, kHarmonicHalfWidth);
    for (int k = 2; k * hz <= highHz; ++k)
        result.harmonics += spectrum.around(k * hz, kHarmonicHalfWidth);
    const double tolerance = (kHarmonicHalfWidth + 0.5) * spectrum.binHz();
    for (std::size_t bin = 0; bin < spectrum.size(); ++bin) {
        const double f = spectrum.frequency(bin);
        if (f >= lowHz && f <= highHz && !nearHarmonic(f, hz, tolerance))
            result.nonHarmonic += spectrum[bin];
    }
    return result;
}

double inharmonicEnergy(const PowerSpectrum& spectrum, double hz, double marginHz, double lowHz, double highHz)
{
    double sum = 0.0;
    for (std::size_t bin = 0; bin < spectrum.size(); ++bin) {
        const double f = spectrum.frequency(bin);
        if (f >= lowHz && f <= highHz && !nearHarmonic(f, hz, marginHz))
            sum += spectrum[bin];
    }
    return sum;
}

} // namespace soundreport
