// SPDX-License-Identifier: GPL-3.0-or-later
// Brings an impulse response (a built-in cabinet's, or one the player loads) to the host's sample
// rate. Set-up code: allocates, belongs off the audio thread.
#pragma once

#include <span>
#include <vector>

namespace quarvine {

// Band-limited resampling by a Kaiser-windowed sinc (beta 11, 144 taps of the lower of the two
// rates), evaluated at each output's exact position, so any ratio works, rational or not. The
// cut-off sits at the lower rate's Nyquist frequency, so that going down does not alias and going
// up leaves no images. Measured by ir_resampler_test, relative to the pass band:
//   pass band  0 .. 0.9 of the lower Nyquist, ripple under 0.001 dB;
//   transition 0.9 .. 1.0 of the lower Nyquist;
//   stop band  from the lower Nyquist on, at least 100 dB down.
// Gain: the response keeps its frequency response, not its sample values, so it plays at the
// same level: the sum of the taps (the gain at 0 Hz) stays, and going up by a factor R divides
// each tap by R against plain interpolation of the samples.
// Length: ceil(size * toRate / fromRate), the same span of time. The filter's ringing before the
// first tap and after the last is cut (an impulse response starts at its first tap; it fades out
// before its end).
// The same rate returns the taps unchanged; no taps, or a rate that is not positive, gives none.
std::vector<float> resampleImpulseResponse(std::span<const float> ir, double fromRate, double toRate);

} // namespace quarvine
