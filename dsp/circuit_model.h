// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's circuit model: every block, built from component values and the rate.
#pragma once

#include "dsp/amp_controls.h"
#include "dsp/chain_path.h"
#include "dsp/control_glide.h"
#include "dsp/half_band_filter.h"
#include "dsp/input_network.h"
#include "dsp/oversampling_switch.h"
#include "dsp/silence_tracker.h"
#include "dsp/small_sections.h"
#include "dsp/tone_stack.h"
#include "dsp/tone_stack_ramp.h"
#include "dsp/triode_stage.h"

#include <cmath>
#include <limits>

namespace quarvine {

struct CircuitModel {
    double triode1BiasPlateVoltage = 0.0;
    double triode2BiasPlateVoltage = 0.0;
    double triode3BiasPlateVoltage = 0.0;
    double internalRate = 0.0; // oversampling times the host rate: every block runs at this rate
    TriodeStage67 triode1;
    TriodeStage67 triode2;
    TriodeStage1010 triode3;
    OnePoleHighPass couplingFilterA;
    OnePoleHighPass couplingFilterB;
    InputNetworkFilter inputNetwork;
    ToneStackFilter toneStack;
    OnePoleLowPass stageLowpass1;
    OnePoleLowPass stageLowpass2;
    OnePoleLowPass stageLowpass3;
    ShelfSection shelfFilter;
    OnePoleHighPass outputCouplingFilter;
    BiquadSection midBoostFilter;
    BiquadSection bleedShelfFilter;
    BiquadSection rumbleFilter;
    HalfBandFilter upsampler;   // host rate to 2x
    HalfBandFilter downsampler; // 2x to host rate
    // The further doublings, used at 4x and 8x only.
    OctaveHalfBand upsampler4;
    OctaveHalfBand downsampler4;
    OctaveHalfBand upsampler8;
    OctaveHalfBand downsampler8;
    double builtForSampleRate = 0.0;
    std::int64_t oversampling = 2; // 2, 4 or 8: internalRate over the host rate
    // Subtracted from the drive network's input. Its response has no DC, so taking the first
    // stage's bias plate voltage off changes nothing in exact arithmetic; in doubles it spares
    // the 4th-order recursion from carrying 190 V whose rounding it would amplify at the higher
    // rates (0 at 2x, which keeps that chain as it always was).
    double inputNetworkOffset = 0.0;
    // Not part of the circuit: which build of the fast chain runs (kept across rebuilds, so that
    // tests can pin one), its silence detection and the controls' glide (cleared by every build),
    // and the fade around a change of oversampling (which a build is part of).
    ChainPath chainPath = fastestChainPath();
    SilenceTracker silence;
    ControlGlide glide;
    ToneStackRamp toneStackRamp;
    OversamplingSwitch oversamplingSwitch;
};

// Component values throughout the model are in SI units (ohm, farad, volt, second, hertz), with
// the unit in a comment beside each value, written in engineering notation: 12e3 ohm is 12 kOhm.

// The valve fits of the three stages. Each stands for a stage's valve together with its plate
// resistor: the plate-to-cathode voltage Vpk in volts as a function of the grid-to-cathode voltage
// Vgk in volts, fit(Vgk) = N(Vgk) / D(Vgk), with the constant term of D equal to 1 and the
// coefficients interleaved (even positions N, odd positions D; see TriodeStage). A fit holds for
// Vgk >= -10 V; its value at -10 V, cut-off, stands for the supply end of the load line.
extern const double kTriode1Fit[14]; // first stage: N of degree 6, D of degree 7
extern const double kTriode2Fit[14]; // second stage: N of degree 6, D of degree 7
extern const double kTriode3Fit[21]; // third stage: N of degree 10, D of degree 10

// The drive network between the first two stages (see InputNetworkComponents for the nodes).
inline constexpr InputNetworkComponents kInputNetworkParts{
    .couplingCapacitance = 20e-9,   // F
    .bypassCapacitance = 2.082e-9,  // F
    .brightCapacitance = 1e-9,      // F
    .outputCapacitance = 20e-12,    // F
    .seriesResistance = 519e3,      // ohm
    .leakResistance = 2.2e6,        // ohm
    .potResistance = 1e6,           // ohm, the drive pot
    .outputResistance = 475e3,      // ohm
};

// The tone stack after the third stage (see ToneStackComponents for the nodes).
inline constexpr ToneStackComponents kToneStackParts{
    .c1 = 680e-12, // F, treble capacitor
    .c2 = 22e-9,   // F, bass capacitor
    .c3 = 22e-9,   // F, middle capacitor
    .c4 = 3e-9,    // F, treble-cut branch
    .r1 = 47e3,    // ohm, slope resistor
    .r2 = 250e3,   // ohm, treble pot
    .r3 = 1e6,     // ohm, bass pot
    .r4 = 25e3,    // ohm, middle pot
    .r5 = 22e3,    // ohm, treble-cut resistor
    .r6 = 100e3,   // ohm, treble-cut pot
    .r7 = 1e6,     // ohm, load
};

// Fills every block for a host rate, the model running at oversampling (2, 4 or 8) times that
// rate. Allocates nothing, so the audio thread may call it.
void buildCircuitModel(CircuitModel& model, double sampleRate, std::int64_t oversampling = 2);

// Back to the bias point at the same rates (the recovery from a non-finite value).
void rebuildCircuitModel(CircuitModel& model);

// The highest rate the circuit runs at. Above it the harmonics that could alias lie far above
// hearing already, and the control networks' 4th-order recursions lose precision to rounding.
inline constexpr double kMaxInternalRate = 384000.0;

// The oversampling the controls ask for (2, 4 or 8; anything else counts as 2), halved while it
// would take the circuit above kMaxInternalRate at this host rate: 8x runs up to 48 kHz, 4x up to
// 96 kHz, and from there on 2x, today's chain, whatever the setting.
std::int64_t requestedOversampling(const AmpControls& controls, double hostRate);

// Around every stretch of frames, in both chains: beginFrames takes the control targets (starting a
// glide) and a requested change of oversampling (starting its fade, or rebuilding at once when
// nothing has played since the last build); endFrames moves the glide and the fade on by frames
// and rebuilds the model between the fade out and the fade in.
void beginFrames(CircuitModel& model, const AmpControls& controls);
void endFrames(CircuitModel& model, const AmpControls& controls, std::int64_t frames);

// Sets up the tone stack's coefficient ramp for the glide's current network segment (beginFrames
// calls it).
void prepareToneStackRamp(CircuitModel& model);

// The output sample both chains write: y, or 0 where the float buffer cannot hold it. A non-finite
// value, or a finite one beyond float's range (it would arrive as an infinity), is replaced.
inline double outputSample(double y)
{
    return std::abs(y) <= static_cast<double>(std::numeric_limits<float>::max()) ? y : 0.0;
}

// Runs frames samples through the chain. Rebuilds the model first when controls.sampleRate
// differs from the rate it was built for. Input and output may be the same buffer. Flushes
// denormals to zero while it runs and restores the caller's floating-point mode on return.
// This is the fast chain (model.chainPath picks its build): it reads the controls once per chunk,
// sleeps through settled silence, and stays within 1e-6 of the exact chain's output.
void processBlock(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                  int frames, ProcessMode mode);

// The fast chain itself, without the rate check and without touching the floating-point mode;
// for callers that manage both (and for measuring what the denormal guard saves).
void processFrames(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                   int frames, ProcessMode mode);

// The exact chain: every operation in its stated order, without fused multiply-adds, the controls
// read and glided sample by sample, never asleep. The reference the fast chain is tested against.
void processBlockExact(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                       int frames, ProcessMode mode);
void processFramesExact(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                        int frames, ProcessMode mode);

// Rebuilds the model when controls.sampleRate differs from the rate it was built for, so that it
// stays tuned to the host's rate. Both chains call it before a block.
void followHostRate(CircuitModel& model, const AmpControls& controls);

// One host sample through the exact chain in full precision: the value before Volume, without the
// recovery and without gliding (the controls as they stand). For comparing the chain with other
// computations more closely than floats allow.
double processSampleExact(CircuitModel& model, const AmpControls& controls, double x);

// The two saturating shapers, safe where exp overflows.
double softLimit(double s);
double shapeOutput(double s, double masterLevel);

} // namespace quarvine
