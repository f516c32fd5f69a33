// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's parameters as every plug-in format presents them: index, name, default. All
// run from 0 to 1 on the host's side; the formats differ only in how they label them.
#pragma once

namespace quarvine {

enum ParameterIndex : int {
    kMaster = 0,
    kDrive,
    kTreble,
    kMiddle,
    kBass,
    kVolume,
    kOversampling, // appended after the six: a project saved with six values loads as before
    kCabinet,      // appended again: a project saved with seven values loads with no cabinet
    kNumParameters
};

inline constexpr float kDefaultValues[kNumParameters] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.0f, 0.0f};

// Full names; a VST host gets eight-character ones.
inline constexpr const char* kParameterFullNames[kNumParameters] = {"Master", "Drive",  "Treble",      "Middle",
                                                                   "Bass",   "Volume", "Oversampling", "Cabinet"};

} // namespace quarvine
