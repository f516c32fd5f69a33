// The amplifier's circuit model: every block, built from component values and the rate.
#pragma once

#include "dsp/amp_controls.h"

namespace quarvine {

struct CircuitModel {
    double builtForSampleRate = 0.0;
};

// Fills every block for a host rate (the model runs at twice that rate).
void buildCircuitModel(CircuitModel& model, double sampleRate);

// Runs frames samples through the chain. Rebuilds the model first when controls.sampleRate
// differs from the rate it was built for. Input and output may be the same buffer.
void processBlock(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                  int frames, ProcessMode mode);

} // namespace quarvine
