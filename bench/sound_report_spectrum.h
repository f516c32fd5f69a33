// SPDX-License-Identifier: GPL-3.0-or-later
// Power spectra through FFTW, and the energy sums the report is made of.
#pragma once

#include <cstddef>
#include <vector>

namespace soundreport {

// Four-term cosine windows, in their periodic form: a tone centred on a bin covers exactly that
// bin and three on each side.
enum class Window {
    // Minimum side lobes (-92 dB); its ends stop at 6e-5, so far leakage falls only 6 dB/octave.
    BlackmanHarris,
    // Nuttall's form with a continuous first derivative: far leakage falls 18 dB/octave, so a
    // tone whose level changes across the window (a sweep) leaks nothing measurable far away.
    SmoothNuttall,
};

// |X(k)|^2 of `frames` samples from `start`, windowed.
class PowerSpectrum {
public:
    PowerSpectrum(const std::vector<float>& signal, std::size_t start, std::size_t frames, double rate,
                  Window window = Window::BlackmanHarris);

    double binHz() const { return binWidth; }
    std::size_t size() const { return power.size(); }
    double operator[](std::size_t bin) const { return power[bin]; }
    double frequency(std::size_t bin) const { return binWidth * static_cast<double>(bin); }

    // Sum over the bins within `halfWidth` bins of `hz`.
    double around(double hz, int halfWidth) const;

private:
    std::vector<double> power;
    double binWidth = 1.0;
};

// Bins within this many of a harmonic's frequency count as that harmonic.
inline constexpr int kHarmonicHalfWidth = 4;

struct ToneAnalysis {
    double fundamental = 0.0;  // energy around f
    double harmonics = 0.0;    // energy around 2f, 3f, ... up to the band's top
    double nonHarmonic = 0.0;  // every other bin inside the band
    double aliasingDbc() const;
    double thdPercent() const;
};

// Splits the band [lowHz, highHz] of a spectrum of a tone at `hz` into fundamental, harmonics
// (each within kHarmonicHalfWidth bins) and everything else.
ToneAnalysis analyseTone(const PowerSpectrum& spectrum, double hz, double lowHz = 20.0, double highHz = 20000.0);

// Energy of the bins in [lowHz, highHz] farther than marginHz from every multiple of hz.
double inharmonicEnergy(const PowerSpectrum& spectrum, double hz, double marginHz, double lowHz, double highHz);

double toDb(double powerRatio);

} // namespace soundreport
