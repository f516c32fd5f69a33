#include "effect/amp_core.h"

#include "effect/oversampling_choice.h"
#include "effect/parameter_taper.h"

#include <algorithm>
#include <cmath>

namespace quarvine {

AmpCore::AmpCore()
{
    for (auto& parameter : parameters)
        parameter.store(0.0f, std::memory_order_relaxed);
    AmpControls::store(ampControls.sampleRate, 44100.0);
    // The order in which the defaults are set is part of the start-up sequence.
    const int defaultOrder[] = {kDrive, kMaster, kTreble, kMiddle, kBass, kVolume, kOversampling};
    for (int index : defaultOrder)
        setParameter(index, kDefaultValues[index]);
    AmpControls::store(ampControls.fixedToneSetting, 0.5);
    buildCircuitModel(circuitModel, AmpControls::load(ampControls.sampleRate));
}

void AmpCore::setSampleRate(double rate)
{
    if (std::isfinite(rate) && rate > 0.0)
        AmpControls::store(ampControls.sampleRate, rate);
}

bool AmpCore::setParameter(int index, float value)
{
    if (!validIndex(index) || !std::isfinite(value))
        return false;
    // What the knobs and the display show stays on the knob's travel: a finite value far outside
    // it would turn the knob angle infinite. The model fields below keep the value as it came.
    parameters[index].store(std::clamp(value, 0.0f, 1.0f), std::memory_order_relaxed);
    switch (index) {
    case kMaster:
        AmpControls::store(ampControls.masterLevel, parameterTaper(value));
        break;
    case kDrive:
        AmpControls::store(ampControls.driveLevel, parameterTaper(value));
        break;
    case kTreble:
        AmpControls::store(ampControls.trebleSetting, value);
        break;
    case kMiddle:
        AmpControls::store(ampControls.middleSetting, value);
        break;
    case kBass:
        AmpControls::store(ampControls.bassLevel, parameterTaper(value));
        break;
    case kVolume:
        AmpControls::store(ampControls.outputVolume, value);
        break;
    case kOversampling:
        AmpControls::store(ampControls.oversampling, oversamplingFactor(value));
        break;
    default:
        break;
    }
    return true;
}

float AmpCore::parameter(int index) const
{
    return validIndex(index) ? parameters[index].load(std::memory_order_relaxed) : 0.0f;
}

void AmpCore::process(const float* input, float* output, int frames, ProcessMode mode)
{
    processBlock(circuitModel, ampControls, input, output, frames, mode);
}

} // namespace quarvine
