// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in speaker cabinets: minimum-phase impulse responses that resources/make_cabinets.py
// makes from a model of the speaker, its cabinet and a close microphone (README, "Cabinets"), and
// writes into the generated cabinets.cpp. Each starts at once (no delay), is at most 1024 taps long
// and passes pink noise in 80 Hz to 6 kHz at unit power, so that a change of cabinet keeps the level.
#pragma once

#include <span>
#include <string_view>

namespace quarvine {

struct CabinetResponse {
    std::string_view name;       // as a player reads it, e.g. "4x12 closed back"
    int sampleRate;              // Hz, of the taps; the plug-in resamples to the host's rate
    std::span<const float> taps; // the impulse response
};

// Constant data, in the order a cabinet choice lists them.
std::span<const CabinetResponse> builtInCabinets();

} // namespace quarvine
