// SPDX-License-Identifier: GPL-3.0-or-later
// Controls that glide: a new value is reached along a straight ramp of kGlideSeconds instead of on
// the next sample. Master and Volume follow the ramp frame by frame; the two control-driven
// networks (Drive, and Bass/Middle/Treble) take the ramp's value every kNetworkUpdateFrames frames,
// often enough that a sweep has no audible steps, rarely enough that their refresh costs little.
// Master, Drive and Bass ramp along the knob's travel and take the cubic law's level on the way
// (control_taper.h): a host's automation moves the knob in even steps, and a straight line between
// their steep levels would bend at every step, each bend a faint click. Once the ramp has arrived
// the values are the targets themselves, so that controls at rest give exactly the output they
// always gave. Both chains glide through these functions.
#pragma once

#include "dsp/amp_controls.h"
#include "dsp/control_taper.h"

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

// Knob positions of the three controls on the cubic law.
struct KnobTravel {
    double drive = 0.0;
    double bass = 0.0;
    double master = 0.0;
};

struct ControlGlide {
    ControlValues from;
    ControlValues to;
    KnobTravel fromTravel; // where the tapered controls' ramps start and end on the knob's travel
    KnobTravel toTravel;
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

inline KnobTravel travelOf(const ControlValues& v)
{
    return {taperPosition(v.drive), taperPosition(v.bass), taperPosition(v.master)};
}

// The ramps' fraction of the way position frames in.
inline double glideFraction(const ControlGlide& g, std::int64_t position)
{
    return static_cast<double>(position) / static_cast<double>(g.length);
}

inline KnobTravel travelAt(const ControlGlide& g, std::int64_t position)
{
    if (position >= g.length)
        return g.toTravel;
    const double t = glideFraction(g, position);
    auto at = [t](double from, double to) { return from + (to - from) * t; };
    const KnobTravel& a = g.fromTravel;
    const KnobTravel& b = g.toTravel;
    return {at(a.drive, b.drive), at(a.bass, b.bass), at(a.master, b.master)};
}

// The ramp's values position frames in.
inline ControlValues glideValuesAt(const ControlGlide& g, std::int64_t position)
{
    if (position >= g.length)
        return g.to;
    const double t = glideFraction(g, position);
    auto at = [t](double from, double to) { return from + (to - from) * t; };
    // The law's level at the knob's place, kept between the ramp's ends so that rounding in the
    // law's inverse can neither overshoot nor reverse; a control that jumped holds its target.
    auto tapered = [t](double from, double to, double fromTravel, double toTravel) {
        if (fromTravel == toTravel)
            return to;
        const double level = taperLaw(fromTravel + (toTravel - fromTravel) * t);
        return std::clamp(level, std::min(from, to), std::max(from, to));
    };
    const ControlValues& a = g.from;
    const ControlValues& b = g.to;
    const KnobTravel& p = g.fromTravel;
    const KnobTravel& q = g.toTravel;
    return {tapered(a.drive, b.drive, p.drive, q.drive),
            tapered(a.bass, b.bass, p.bass, q.bass),
            at(a.middle, b.middle),
            at(a.treble, b.treble),
            at(a.fixedTone, b.fixedTone),
            tapered(a.master, b.master, p.master, q.master),
            at(a.volume, b.volume)};
}

// Master and Volume for the current frame.
inline ControlValues frameValues(const ControlGlide& g)
{
    return glideValuesAt(g, g.position);
}

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
        g.fromTravel = g.toTravel = travelOf(targets);
        g.length = std::max<std::int64_t>(1, std::llround(kGlideSeconds * hostRate));
        g.position = g.length;
        return;
    }
    if (targets == g.to)
        return;
    const KnobTravel travelNow = travelAt(g, g.position);
    g.from = frameValues(g);
    g.to = targets;
    g.fromTravel = travelNow;
    g.toTravel = travelOf(targets);
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
    // A tapered control that did not move, or jumped, has no travel to make.
    auto settle = [&g](double ControlValues::*level, double KnobTravel::*travel) {
        if (g.from.*level == g.to.*level)
            g.fromTravel.*travel = g.toTravel.*travel;
    };
    settle(&ControlValues::drive, &KnobTravel::drive);
    settle(&ControlValues::bass, &KnobTravel::bass);
    settle(&ControlValues::master, &KnobTravel::master);
}

inline void advanceGlide(ControlGlide& g, std::int64_t frames)
{
    g.position = g.position + frames < g.length ? g.position + frames : g.length;
}

} // namespace quarvine
