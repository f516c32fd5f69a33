// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/amp_core.h"

#include "effect/cabinet_choice.h"
#include "effect/oversampling_choice.h"
#include "effect/parameter_taper.h"

#include <algorithm>
#include <cmath>

namespace quarvine {

AmpCore::AmpCore()
    : cabinet(makeCabinetBank(44100.0, nullptr)), cabinetLibrary(cabinet.handover(), 44100.0)
{
    for (int index = 0; index < kNumParameters; ++index)
        parameters[index].store(kDefaultValues[index], std::memory_order_relaxed);
    AmpControls::store(ampControls.sampleRate, 44100.0);
    applyParameters();
    AmpControls::store(ampControls.fixedToneSetting, 0.5);
    buildCircuitModel(circuitModel, AmpControls::load(ampControls.sampleRate));
}

void AmpCore::setSampleRate(double rate)
{
    if (!acceptedSampleRate(rate))
        return;
    AmpControls::store(ampControls.sampleRate, rate);
    cabinetLibrary.setSampleRate(rate);
}

bool AmpCore::setParameter(int index, float value)
{
    if (!validIndex(index) || !std::isfinite(value))
        return false;
    parameters[index].store(value, std::memory_order_relaxed);
    return true;
}

float AmpCore::parameter(int index) const
{
    // What the knobs and the display show stays on the knob's travel: a finite value far outside
    // it would turn the knob angle infinite. The model gets the value as it came.
    return validIndex(index) ? std::clamp(parameters[index].load(std::memory_order_relaxed), 0.0f, 1.0f) : 0.0f;
}

void AmpCore::applyParameters()
{
    const auto value = [this](int index) { return parameters[index].load(std::memory_order_relaxed); };
    AmpControls::store(ampControls.masterLevel, parameterTaper(value(kMaster)));
    AmpControls::store(ampControls.driveLevel, parameterTaper(value(kDrive)));
    AmpControls::store(ampControls.trebleSetting, value(kTreble));
    AmpControls::store(ampControls.middleSetting, value(kMiddle));
    AmpControls::store(ampControls.bassLevel, parameterTaper(value(kBass)));
    AmpControls::store(ampControls.outputVolume, value(kVolume));
    AmpControls::store(ampControls.oversampling, oversamplingFactor(value(kOversampling)));
}

void AmpCore::process(const float* input, float* output, int frames, ProcessMode mode)
{
    applyParameters();
    const int position = cabinetPosition(parameters[kCabinet].load(std::memory_order_relaxed));
    if (mode == ProcessMode::replace || cabinet.passesThrough(position)) {
        processBlock(circuitModel, ampControls, input, output, frames, mode);
        // With no cabinet and no fade the stage leaves the output as it is, bit for bit; it still
        // takes up changes.
        cabinet.process(output, mode == ProcessMode::replace ? frames : 0, position);
        return;
    }
    for (int done = 0; done < frames; done += kCabinetChunk) {
        const int n = std::min(kCabinetChunk, frames - done);
        processBlock(circuitModel, ampControls, input + done, cabinetScratch, n, ProcessMode::replace);
        cabinet.process(cabinetScratch, n, position);
        for (int i = 0; i < n; ++i)
            output[done + i] += cabinetScratch[i];
    }
}

} // namespace quarvine
