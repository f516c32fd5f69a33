// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier behind a plug-in format: parameter values in, the circuit model driven with them.
// The VST effect and the LV2 plug-in both wrap one, so that they sound the same by construction.
#pragma once

#include "dsp/amp_controls.h"
#include "dsp/cabinet_stage.h"
#include "dsp/circuit_model.h"
#include "effect/cabinet_library.h"
#include "effect/parameter_table.h"

#include <atomic>

namespace quarvine {

// The host sample rates both formats accept, in Hz, ends included: an LV2 host asking for another
// gets no instance, a VST one keeps the last good rate. Zero, negative and non-finite rates are no
// rates; far above the top the model's control networks lose precision to rounding and sound on
// silent input, and the run costs grow with the rate.
inline constexpr double kMinSampleRate = 1000.0;
inline constexpr double kMaxSampleRate = 1536000.0;

inline bool acceptedSampleRate(double rate)
{
    return rate >= kMinSampleRate && rate <= kMaxSampleRate; // false for NaN
}

class AmpCore {
public:
    // Built for 44.1 kHz with the default values; setSampleRate retunes it.
    AmpCore();

    // Any thread but the audio thread. A rate outside the accepted range is ignored (the last good
    // one stays); the model follows on the audio thread, the cabinets are remade at once.
    void setSampleRate(double rate);
    // Any thread. False (and nothing stored) for an unknown index or a non-finite value.
    bool setParameter(int index, float value);
    // The stored value, on the knob's travel (0 for an unknown index).
    float parameter(int index) const;

    // The audio thread: allocates nothing, takes no lock. Hands the parameters to the model first.
    void process(const float* input, float* output, int frames, ProcessMode mode);

    // The model's controls derived from the parameters, as process does before each block: on the
    // audio thread, or where nothing processes at the same time (tests reading controls()).
    void applyParameters();

    // The built-in cabinets and the player's own response; any thread but the audio thread.
    CabinetLibrary& cabinets() { return cabinetLibrary; }

    const AmpControls& controls() const { return ampControls; }
    const CircuitModel& model() const { return circuitModel; }
    double sampleRate() const { return AmpControls::load(ampControls.sampleRate); }

    static bool validIndex(int index) { return index >= 0 && index < kNumParameters; }

private:
    // Each parameter is this one value as the host sent it: the display, the saved value and the
    // model's target all derive from it, so that two setters racing cannot part them.
    std::atomic<float> parameters[kNumParameters];
    AmpControls ampControls;
    CircuitModel circuitModel;
    CabinetStage cabinet;
    CabinetLibrary cabinetLibrary;
    // The amplifier's output on its way through the cabinet when the host adds to its buffer.
    static constexpr int kCabinetChunk = 256;
    float cabinetScratch[kCabinetChunk];
};

} // namespace quarvine
