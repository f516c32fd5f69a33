// SPDX-License-Identifier: GPL-3.0-or-later
// A real FFT of one power-of-two size, for the partitioned convolver. Written here rather than taken
// from a library: the Windows builds have no fast FFT library to link, and Eigen's (kissfft) costs
// several times as much (README, "The cabinet convolver"). The spectrum is kept as separate real
// and imaginary arrays, the layout in which the convolver multiplies spectra four bins at a time.
//
// The constructor allocates (twiddles, scratch); the transforms allocate nothing. One object is not
// to be used by two threads at once: the transforms share its scratch.
#pragma once

#include <vector>

namespace quarvine {

class RealFft {
public:
    RealFft() = default;
    // size: a power of two, at least 4.
    explicit RealFft(int size);

    int size() const { return n; }
    int bins() const { return n / 2 + 1; } // of the half spectrum: 0 .. size/2

    // X[k] = sum over t of x[t] e^(-2 pi i k t / size), k = 0 .. size/2, unscaled; the imaginary parts
    // of bins 0 and size/2 come out 0.
    void forward(const float* x, float* re, float* im);
    // x[t] = sum over k of X[k] e^(2 pi i k t / size) over the whole Hermitian spectrum: size times
    // the inverse. The imaginary parts of bins 0 and size/2 are taken as 0.
    void inverse(const float* re, const float* im, float* x);

private:
    int n = 0;
    // The complex FFT of size/2 points: six tables of size/8, the real and imaginary parts of w^j,
    // w^2j and w^3j, w = e^(-2 pi i / (size/2)).
    std::vector<float> twiddles;
    // The real split: e^(-2 pi i k / size), k = 0 .. size/4.
    std::vector<float> splitR, splitI;
    std::vector<float> scratch; // two complex arrays of size/2, split
};

} // namespace quarvine
