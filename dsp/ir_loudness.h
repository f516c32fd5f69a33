// SPDX-License-Identifier: GPL-3.0-or-later
// How loud an impulse response plays, so that every cabinet, built in or loaded, can be brought to
// the same level. Set-up code: allocates, belongs off the audio thread.
#pragma once

#include <span>

namespace quarvine {

// The power that pink noise in 80 Hz .. 6 kHz has after passing through ir: the mean of |H(f)|^2
// over 400 frequencies spaced evenly on a log scale across the band, as resources/make_cabinets.py
// normalises the built-in cabinets (its pink_power). Where 6 kHz is above 0.45 * sampleRate, the
// band ends there instead. Computed by FFT with Gaussian gridding: within 1e-9 of the direct sum
// (ir_loudness_test), in well under a second for ten seconds at 384 kHz.
double pinkNoisePower(std::span<const float> ir, double sampleRate);

// The gain that brings ir to unit pink-noise power, 1 / sqrt(pinkNoisePower); 0 when that power
// is 0 or the gain is not a finite float (a response to refuse).
float loudnessGain(std::span<const float> ir, double sampleRate);

} // namespace quarvine
