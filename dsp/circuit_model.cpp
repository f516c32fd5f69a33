// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/circuit_model.h"
#include "dsp/half_band_design.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quarvine {

// The first stage's valve with its 220 kOhm plate resistor: Vpk(Vgk), form [6/7].
const double kTriode1Fit[14] = {
    87.4286, 0.277817,       // x^0 in N, x^1 in D
    -65.74, 0.636527,        // x^1 in N, x^2 in D
    36.1482, 0.244455,       // x^2 in N, x^3 in D
    -5.58638, 0.0601759,     // x^3 in N, x^4 in D
    0.870708, 0.00632796,    // x^4 in N, x^5 in D
    -0.0366109, 0.000355421, // x^5 in N, x^6 in D
    0.00112917, 7.49175e-06, // x^6 in N, x^7 in D
};

// The second stage's valve with its 100 kOhm plate resistor: Vpk(Vgk), form [6/7].
const double kTriode2Fit[14] = {
    131.912, -0.136055,      // x^0 in N, x^1 in D
    -90.5622, -0.163445,     // x^1 in N, x^2 in D
    -12.2022, -0.0411551,    // x^2 in N, x^3 in D
    7.58692, -0.00483172,    // x^3 in N, x^4 in D
    2.61273, -0.000325513,   // x^4 in N, x^5 in D
    0.321742, -1.40063e-06,  // x^5 in N, x^6 in D
    0.0226592, -1.25314e-06, // x^6 in N, x^7 in D
};

// The third stage's valve with its 100 kOhm plate resistor: Vpk(Vgk), form [10/10].
const double kTriode3Fit[21] = {
    85.6665619146815, -1.670773393951679,          // x^0 in N, x^1 in D
    -225.7871622384632, 1.086868401377699,         // x^1 in N, x^2 in D
    232.9675748464225, -0.06789196893594668,       // x^2 in N, x^3 in D
    -93.23078622832318, -0.0688839764521339,       // x^3 in N, x^4 in D
    -1.923269070353934, 0.002045202157408487,      // x^4 in N, x^5 in D
    8.113255755148115, 0.003121208125835805,       // x^5 in N, x^6 in D
    0.5996125569049522, -1.651582057001785e-05,    // x^6 in N, x^7 in D
    -0.4244702008069797, -0.0001076518179232398,   // x^7 in N, x^8 in D
    -0.1013353879608394, -1.390207450574723e-05,   // x^8 in N, x^9 in D
    -0.009161296554364607, -1.899704031014881e-07, // x^9 in N, x^10 in D
    -0.0001554309853862633,                        // x^10 in N
};

namespace {

struct OctaveCoefficients {
    double stage4[OctaveHalfBand::kSections];
    double stage8[OctaveHalfBand::kSections];
    OctaveCoefficients()
    {
        designHalfBand(kOctaveTransition4x, OctaveHalfBand::kSections, stage4);
        designHalfBand(kOctaveTransition8x, OctaveHalfBand::kSections, stage8);
    }
};

// Designed once, before the first model is built (off the audio thread).
const OctaveCoefficients kOctaveCoefficients;

} // namespace

void buildCircuitModel(CircuitModel& model, double sampleRate, std::int64_t oversampling)
{
    const double rate = static_cast<double>(oversampling) * sampleRate;
    initHalfBandFilter(model.upsampler);
    initHalfBandFilter(model.downsampler);
    initHalfBand(model.upsampler4, kOctaveCoefficients.stage4);
    initHalfBand(model.downsampler4, kOctaveCoefficients.stage4);
    initHalfBand(model.upsampler8, kOctaveCoefficients.stage8);
    initHalfBand(model.downsampler8, kOctaveCoefficients.stage8);
    model.oversampling = oversampling;

    // First stage, at the input: grid source resistance, bypassed cathode resistor, plate resistor.
    model.triode1BiasPlateVoltage = initTriodeStage(model.triode1, kTriode1Fit,
                                                    {.gridResistance = 12e3,       // ohm
                                                     .cathodeResistance = 1.82e3,  // ohm
                                                     .cathodeCapacitance = 2.2e-6, // F
                                                     .plateResistance = 220e3,     // ohm
                                                     .initialPlateVoltage = 200.0, // V
                                                     .rate = rate});
    // Second stage, behind the drive network.
    model.triode2BiasPlateVoltage = initTriodeStage(model.triode2, kTriode2Fit,
                                                    {.gridResistance = 470e3,      // ohm
                                                     .cathodeResistance = 1.82e3,  // ohm
                                                     .cathodeCapacitance = 2.2e-6, // F
                                                     .plateResistance = 100e3,     // ohm
                                                     .initialPlateVoltage = 280.0, // V
                                                     .rate = rate});
    // Third stage, ahead of the tone stack.
    model.triode3BiasPlateVoltage = initTriodeStage(model.triode3, kTriode3Fit,
                                                    {.gridResistance = 255e3,      // ohm
                                                     .cathodeResistance = 1.82e3,  // ohm
                                                     .cathodeCapacitance = 2.2e-6, // F
                                                     .plateResistance = 100e3,     // ohm
                                                     .initialPlateVoltage = 200.0, // V
                                                     .rate = rate});
    model.internalRate = rate;

    model.inputNetworkOffset = oversampling > 2 ? model.triode1BiasPlateVoltage : 0.0;
    buildInputNetwork(model.inputNetwork, kInputNetworkParts, rate,
                      model.triode1BiasPlateVoltage - model.inputNetworkOffset);

    // The three low-passes' time constants.
    initOnePoleLowPass(model.stageLowpass1, 71.25e-6 /* s */, rate); // drive network to second stage
    initOnePoleLowPass(model.stageLowpass2, 48e-6 /* s */, rate);    // behind the second stage's coupling
    initOnePoleLowPass(model.stageLowpass3, 45e-6 /* s */, rate);    // into the third stage
    initShelfSection(model.shelfFilter, rate);

    // The coupling filters start from the DC level of the stage before them: no step at start-up.
    // Their time constant is the double just above 0.03 s, kept as it stands.
    const double couplingTimeConstant = 0.030000000000000002; // s
    initOnePoleHighPass(model.couplingFilterA, couplingTimeConstant, rate, model.triode2BiasPlateVoltage);
    initOnePoleHighPass(model.couplingFilterB, couplingTimeConstant, rate, 0.0);

    buildToneStack(model.toneStack, kToneStackParts, rate);

    // The third stage's output coupling, ahead of the tone stack.
    initOnePoleHighPass(model.outputCouplingFilter, 15.9e-3 /* s */, rate, model.triode3BiasPlateVoltage);

    initHighPassBiquad(model.rumbleFilter, 60.0 /* Hz */, 0.7 /* Q */, rate);
    initPeakingBiquad(model.midBoostFilter, 500.0 /* Hz */, 0.7 /* Q */, 1.585 /* linear gain */, rate);
    initBleedShelf(model.bleedShelfFilter, rate);

    model.builtForSampleRate = sampleRate;
    model.silence = SilenceTracker{};
    model.glide = ControlGlide{};
    model.toneStackRamp = ToneStackRamp{};
    // A fade under way goes on at the new rate's length.
    OversamplingSwitch& fade = model.oversamplingSwitch;
    fade.length = switchFadeFrames(sampleRate);
    if (fade.position >= fade.length)
        fade.position = fade.length - 1;
}

void rebuildCircuitModel(CircuitModel& model)
{
    buildCircuitModel(model, model.builtForSampleRate, model.oversampling);
}

std::int64_t requestedOversampling(const AmpControls& controls, double hostRate)
{
    const double asked = AmpControls::load(controls.oversampling);
    std::int64_t factor = asked == 4.0 ? 4 : asked == 8.0 ? 8 : 2;
    while (factor > 2 && static_cast<double>(factor) * hostRate > kMaxInternalRate)
        factor /= 2;
    return factor;
}

namespace {

bool onTravel(double value)
{
    return value >= 0.0 && value <= 1.0;
}

bool toneOnTravel(const ControlValues& v)
{
    return onTravel(v.bass) && onTravel(v.middle) && onTravel(v.treble) && onTravel(v.fixedTone);
}

// Loud input on the travel (a square wave at 16 times full scale, any setting, 2x to 8x) keeps
// the tone stack's state below about 2e4.
constexpr double kLargestToneStackState = 1e8;

// A tone control far off its travel can make the stack's recursion unstable: its state, and that
// of the filters behind it, then grows towards overflow while the saturating output stage hides
// it, and would take seconds to decay once the control is back.
bool toneStackRanAway(const ToneStackFilter& stack)
{
    for (double s : stack.filterState)
        if (!(std::abs(s) <= kLargestToneStackState))
            return true;
    return false;
}

} // namespace

void beginFrames(CircuitModel& model, const AmpControls& controls)
{
    const std::int64_t requested = requestedOversampling(controls, model.builtForSampleRate);
    if (requested != model.oversampling) {
        if (model.glide.length == 0)
            buildCircuitModel(model, model.builtForSampleRate, requested); // nothing to fade
        else if (model.oversamplingSwitch.phase == SwitchPhase::steady)
            model.oversamplingSwitch = {SwitchPhase::fadingOut, 0, model.oversamplingSwitch.length};
    }
    // Off the travel a control jumps, so the glide's target is what the stack runs with.
    const bool toneWasOffTravel = !toneOnTravel(model.glide.to);
    retarget(model.glide, targetsOf(controls), model.builtForSampleRate);
    if (toneWasOffTravel && toneOnTravel(model.glide.to) && toneStackRanAway(model.toneStack)) {
        // Back to the bias point, as after a non-finite value. Both chains pass here on the same
        // frame, so they stay alike.
        rebuildCircuitModel(model);
        retarget(model.glide, targetsOf(controls), model.builtForSampleRate);
    }
    prepareToneStackRamp(model);
}

void prepareToneStackRamp(CircuitModel& model)
{
    const ControlGlide& g = model.glide;
    ToneStackRamp& ramp = model.toneStackRamp;
    const bool toneMoves = g.from.bass != g.to.bass || g.from.middle != g.to.middle ||
                           g.from.treble != g.to.treble || g.from.fixedTone != g.to.fixedTone;
    if (!gliding(g) || !toneMoves) {
        ramp.subSamples = 0;
        return;
    }
    const std::int64_t start = g.position - g.position % kNetworkUpdateFrames;
    if (ramp.subSamples != 0 && ramp.segmentStart == start && g.position != 0)
        return; // this segment is prepared already
    const std::int64_t end = std::min(start + kNetworkUpdateFrames, g.length);
    // The coefficient sets at both ends, from a scratch copy: the stack's own cache stays with
    // the values it last refreshed for, so that the end of the glide refreshes it at rest.
    ToneStackFilter scratch = model.toneStack;
    for (auto [at, out] : {std::pair{start, ramp.from}, std::pair{end, ramp.to}}) {
        const ControlValues v = glideValuesAt(g, at);
        refreshToneStack(scratch, v.bass, v.middle, v.treble, v.fixedTone);
        for (int i = 0; i < 10; ++i)
            out[i] = scratch.runtimeCoefficients[i];
    }
    ramp.segmentStart = start;
    ramp.subSamples = (end - start) * model.oversampling;
}

void endFrames(CircuitModel& model, const AmpControls& controls, std::int64_t frames)
{
    advanceGlide(model.glide, frames);
    OversamplingSwitch& fade = model.oversamplingSwitch;
    if (fade.phase == SwitchPhase::steady)
        return;
    fade.position += frames;
    if (fade.position < fade.length)
        return;
    fade.position = 0;
    if (fade.phase == SwitchPhase::fadingIn) {
        fade.phase = SwitchPhase::steady;
        return;
    }
    // Silent now: the factor asked for at this moment (the same one, if the change was undone).
    const std::int64_t requested = requestedOversampling(controls, model.builtForSampleRate);
    if (requested != model.oversampling)
        buildCircuitModel(model, model.builtForSampleRate, requested);
    fade.phase = SwitchPhase::fadingIn;
}

} // namespace quarvine
