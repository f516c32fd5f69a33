// Controls that glide: a new value is reached along a straight ramp of kGlideSeconds instead of on
// the next sample. Master and Volume follow the ramp frame by frame; the two control-driven
// networks (Drive, and Bass/Middle/Treble) take the ramp's value every kNetworkUpdateFrames frames,
// often enough that a sweep has no audible steps, rarely enough that their refresh costs little.
// Once the ramp has arrived the values are the targets themselves, so that controls at rest give
// exactly the output they always gave. Both chains glide through these functions.
#pragma once

#include "dsp/amp_controls.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quarvine {

inline constexpr double kGlideSeconds = 0.02;
inline constexpr std::int64_t kNetworkUpdateFrames = 32;

// The control values the chain runs with.
struct ControlValues {
    double drive = 0.0;
    double bass = 0.0;
    double middle = 0.0;
    double treble = 0.0;
    double fixedTone = 0.0;
    double master = 0.0;
    double volume = 0.0;

    bool operator==(const ControlValues&) const = default;
};

struct ControlGlide {
    ControlValues from;
    ControlValues to;
    std::int64_t position = 0; // frames since the ramp began; the ramp has arrived at length
    std::int64_t length = 0;   // frames a ramp takes; 0 until the first frame after a build
};

inline ControlValues targetsOf(const AmpControls& c)
{
    return {AmpControls::load(c.driveLevel),       AmpControls::load(c.bassLevel),
            AmpControls::load(c.middleSetting),    AmpControls::load(c.trebleSetting),
            AmpControls::load(c.fixedToneSetting), AmpControls::load(c.masterLevel),
            AmpControls::load(c.outputVolume)};
}

inline bool gliding(const ControlGlide& g)
{
    return g.position < g.length;
}

// The ramp's values position frames in.
inline ControlValues glideValuesAt(const ControlGlide& g, std::int64_t position)
{
    if (position >= g.length)
        return g.to;
    const double t = static_cast<double>(position) / static_cast<double>(g.length);
    auto at = [t](double from, double to) { return from + (to - from) * t; };
    const ControlValues& a = g.from;
    const ControlValues& b = g.to;
    return {at(a.drive, b.drive),         at(a.bass, b.bass),     at(a.middle, b.middle),
            at(a.treble, b.treble),       at(a.fixedTone, b.fixedTone), at(a.master, b.master),
            at(a.volume, b.volume)};
}

// Master and Volume for the current frame.
inline ControlValues frameValues(const ControlGlide& g)
{
    return glideValuesAt(g, g.position);
}

// Drive and the tone controls for the current frame: the ramp's value at the last update point.
// Drive and the tone controls for the current frame: the ramp's value at the last update point,
// the target once the ramp has arrived.
inline ControlValues networkValues(const ControlGlide& g)
{
    if (g.position >= g.length)
        return g.to;
    return glideValuesAt(g, g.position - g.position % kNetworkUpdateFrames);
}

// Frames from the current one to the next network update or the ramp's end, while gliding (the
// chunk the fast chain may run with fixed network coefficients).
inline std::int64_t framesToNextUpdate(const ControlGlide& g)
{
    const std::int64_t toUpdate = kNetworkUpdateFrames - g.position % kNetworkUpdateFrames;
    return std::min(toUpdate, g.length - g.position);
}

// Called before a frame with the targets as the effect holds them: a new target starts a ramp from
// where the values are now. The first frame after a build takes the targets at once (nothing was
// playing with the old values).
inline void retarget(ControlGlide& g, const ControlValues& targets, double hostRate)
{
    if (g.length == 0) {
        g.from = g.to = targets;
        g.length = std::max<std::int64_t>(1, std::llround(kGlideSeconds * hostRate));
        g.position = g.length;
        return;
    }
    if (targets == g.to)
        return;
    g.from = frameValues(g);
    g.to = targets;
    g.position = 0;
    // Every control's travel is 0 to 1. A host may send values far outside it, which the sound
    // takes as they come; gliding from or to one would drag it out over the whole ramp, so such a
    // control jumps.
    for (double ControlValues::*field : {&ControlValues::drive, &ControlValues::bass, &ControlValues::middle,
                                         &ControlValues::treble, &ControlValues::fixedTone, &ControlValues::master,
                                         &ControlValues::volume}) {
        const double from = g.from.*field;
        const double to = g.to.*field;
        if (!(from >= 0.0 && from <= 1.0 && to >= 0.0 && to <= 1.0))
            g.from.*field = to;
    }
}

inline void advanceGlide(ControlGlide& g, std::int64_t frames)
{
    g.position = g.position + frames < g.length ? g.position + frames : g.length;
}

} // namespace quarvine
