// SPDX-License-Identifier: GPL-3.0-or-later
// Coefficients of a polyphase IIR half-band low-pass from its transition band, by the elliptic
// design of Valenzuela and Constantinides ("Digital signal processing schemes for efficient
// interpolation and decimation", IEE Proc. G 130(6), 1983).
#pragma once

namespace quarvine {

// Fills count allpass coefficients, ascending (so that they alternate between the two chains),
// for a half-band filter whose transition band is transition wide, as a fraction of its (higher)
// sample rate, centred on a quarter of that rate: pass band up to 0.25 - transition / 2, stop band
// from 0.25 + transition / 2. Allocates nothing.
void designHalfBand(double transition, int count, double* coefficients);

// The two doublings beyond the first. Both pass everything up to the host's Nyquist frequency
// and stop its images: 2x to 4x has its pass band to 1/8 of the 4x rate and its stop band from 3/8
// (transition 0.25, about 117 dB); 4x to 8x from 1/16 to 7/16 (transition 0.375, about 174 dB).
inline constexpr double kOctaveTransition4x = 0.25;
inline constexpr double kOctaveTransition8x = 0.375;

} // namespace quarvine
