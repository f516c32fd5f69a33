// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain over one chunk of frames, built once per instruction set. The driver (fast_block.cpp)
// picks the build, handles silence, bad values and the output; the kernel only runs the circuit.
#pragma once

#include "dsp/circuit_model.h"

namespace quarvine {

// The control values one call runs with.
struct ChainSettings {
    double drive;
    double bass;
    double middle;
    double treble;
    double fixedTone;
    double master;
    // Master frame by frame while it glides; null when master holds for the whole call.
    const double* masterPerFrame;
    // While the tone controls glide: the coefficient ramp and the index of the call's first
    // sub-sample in its segment; null at rest.
    const ToneStackRamp* toneStackRamp;
    std::int64_t toneStackRampIndex;
};

// The most sub-samples one kernel call takes (its buffers live on the stack): 256 frames at 2x,
// 128 at 4x, 64 at 8x.
inline constexpr int kFastChunkSubSamples = 512;

inline int fastChunkFrames(const CircuitModel& model)
{
    return kFastChunkSubSamples / static_cast<int>(model.oversampling);
}

// Runs frames (1 to fastChunkFrames) input samples through the chain at the model's oversampling
// and writes each frame's downsampled result, before Volume, to result. Non-finite input samples
// enter as 0. The caller has brought the two control-driven networks' coefficients up to date for
// settings.
namespace baseline {
void runFastChain(CircuitModel& model, const ChainSettings& settings, const float* input, double* result,
                  int frames);
}
namespace avx2 {
void runFastChain(CircuitModel& model, const ChainSettings& settings, const float* input, double* result,
                  int frames);
}
namespace avx512 {
void runFastChain(CircuitModel& model, const ChainSettings& settings, const float* input, double* result,
                  int frames);
}

using ChainKernel = void (*)(CircuitModel& model, const ChainSettings& settings, const float* input, double* result,
                             int frames);

// processFrames with the given kernel instead of the model's build: lets tests drive the
// driver's recovery from non-finite results with a kernel that fails where they choose.
void processFramesWith(ChainKernel kernel, CircuitModel& model, const AmpControls& controls, const float* input,
                       float* output, int frames, ProcessMode mode);

} // namespace quarvine
