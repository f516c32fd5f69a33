#include "dsp/circuit_model.h"

namespace quarvine {

void buildCircuitModel(CircuitModel& model, double sampleRate)
{
    model.builtForSampleRate = sampleRate;
}

void processBlock(CircuitModel& model, const AmpControls& controls, const float* input, float* output, int frames,
                  ProcessMode mode)
{
    double rate = AmpControls::load(controls.sampleRate);
    if (rate != model.builtForSampleRate)
        buildCircuitModel(model, rate);
    for (int i = 0; i < frames; ++i) {
        float y = static_cast<float>(static_cast<double>(input[i]) * AmpControls::load(controls.outputVolume));
        output[i] = mode == ProcessMode::replace ? y : static_cast<float>(y + output[i]);
    }
}

} // namespace quarvine
