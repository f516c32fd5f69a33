// The amplifier behind a plug-in format: parameter values in, the circuit model driven with them.
// The VST effect and the LV2 plug-in both wrap one, so that they sound the same by construction.
#pragma once

#include "dsp/amp_controls.h"
#include "dsp/circuit_model.h"
#include "effect/parameter_table.h"

#include <atomic>

namespace quarvine {

class AmpCore {
public:
    // Built for 44.1 kHz with the default values; setSampleRate retunes it.
    AmpCore();

    // Any thread. A rate that is no rate is ignored; the model follows on the audio thread.
    void setSampleRate(double rate);
    // Any thread. False (and nothing stored) for an unknown index or a non-finite value.
    bool setParameter(int index, float value);
    // The stored value, on the knob's travel (0 for an unknown index).
    float parameter(int index) const;

    // The audio thread: allocates nothing, takes no lock.
    void process(const float* input, float* output, int frames, ProcessMode mode);

    const AmpControls& controls() const { return ampControls; }
    const CircuitModel& model() const { return circuitModel; }
    double sampleRate() const { return AmpControls::load(ampControls.sampleRate); }

    static bool validIndex(int index) { return index >= 0 && index < kNumParameters; }

private:
    std::atomic<float> parameters[kNumParameters];
    AmpControls ampControls;
    CircuitModel circuitModel;
};

} // namespace quarvine
