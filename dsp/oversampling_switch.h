// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the oversampling while audio runs rebuilds the circuit for the new rate, which restarts
// every state at its bias point. The output fades through silence around the rebuild: a
// raised-cosine fade out of kSwitchFadeSeconds with the old model, the rebuild, and a fade in as
// long with the new one. Both chains switch through these functions.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace quarvine {

inline constexpr double kSwitchFadeSeconds = 0.01;

enum class SwitchPhase : std::int64_t { steady, fadingOut, fadingIn };

struct OversamplingSwitch {
    SwitchPhase phase = SwitchPhase::steady;
    std::int64_t position = 0; // frames into the current fade
    std::int64_t length = 1;   // frames a fade takes at the current host rate
};

inline std::int64_t switchFadeFrames(double hostRate)
{
    const std::int64_t frames = std::llround(kSwitchFadeSeconds * hostRate);
    return frames > 0 ? frames : 1;
}

// The factor for the frame at position in the current phase: 1 when steady, falling to 0 on the
// last frame of the fade out, rising from 0 on the first frame of the fade in.
inline double switchGain(const OversamplingSwitch& s, std::int64_t position)
{
    if (s.phase == SwitchPhase::steady)
        return 1.0;
    const double t = static_cast<double>(position + (s.phase == SwitchPhase::fadingOut ? 1 : 0)) /
                     static_cast<double>(s.length);
    const double rising = 0.5 - 0.5 * std::cos(std::numbers::pi * t);
    return s.phase == SwitchPhase::fadingIn ? rising : 1.0 - rising;
}

// Frames left in the current fade (the fast chain ends its chunk there).
inline std::int64_t framesLeftInFade(const OversamplingSwitch& s)
{
    return s.length - s.position;
}

} // namespace quarvine
