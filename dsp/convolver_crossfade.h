// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the impulse response while audio runs: a second convolver is prepared off the audio
// thread, then the audio thread fades from the playing one to it (linearly, over fadeSeconds).
// Nothing allocates or waits on the audio thread; the loading thread asks for the idle convolver
// and is refused while the audio thread still needs both.
#pragma once

#include "dsp/partitioned_convolver.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace quarvine {

class ConvolverCrossfade {
public:
    static constexpr double kFadeSeconds = 0.02;

    // Set-up, before audio runs (sample rate in Hz).
    void prepare(double sampleRate)
    {
        fadeFrames = std::max(1, static_cast<int>(std::lround(kFadeSeconds * sampleRate)));
    }

    // Loading thread: the idle convolver, to prepare with the new response; nullptr while a fade
    // is under way or the last load has not been taken up (ask again later).
    PartitionedConvolver* loadSlot()
    {
        return state.load(std::memory_order_acquire) == kSteady ? &slot[1 - active.load(std::memory_order_relaxed)]
                                                                 : nullptr;
    }
    // Loading thread, after preparing loadSlot(): the audio thread fades to it from its next block.
    void commitLoad() { state.store(kLoaded, std::memory_order_release); }

    // Audio thread. out may be in.
    void process(const float* in, float* out, int frames)
    {
        if (!fading && state.load(std::memory_order_acquire) == kLoaded) {
            fading = true;
            faded = 0;
        }
        const int from = active.load(std::memory_order_relaxed);
        int done = 0;
        while (fading && done < frames) {
            float dry[kChunk], wet[kChunk];
            const int n = std::min({frames - done, kChunk, fadeFrames - faded});
            std::copy(in + done, in + done + n, dry);
            slot[from].process(dry, out + done, n);
            slot[1 - from].process(dry, wet, n);
            for (int i = 0; i < n; ++i) {
                const float g = static_cast<float>(faded + i + 1) / static_cast<float>(fadeFrames);
                out[done + i] += g * (wet[i] - out[done + i]);
            }
            faded += n;
            done += n;
            if (faded == fadeFrames) {
                fading = false;
                active.store(1 - from, std::memory_order_relaxed);
                state.store(kSteady, std::memory_order_release);
            }
        }
        if (done < frames)
            slot[active.load(std::memory_order_relaxed)].process(in + done, out + done, frames - done);
    }

    // Audio thread: silence the tails (both during a fade; otherwise the idle one is the loader's).
    void reset()
    {
        const int playing = active.load(std::memory_order_relaxed);
        slot[playing].reset();
        if (fading)
            slot[1 - playing].reset();
    }

private:
    static constexpr int kChunk = 64;
    enum : int { kSteady, kLoaded };

    PartitionedConvolver slot[2];
    // Written by the audio thread only, read by the loader after it sees kSteady.
    std::atomic<int> active{0};
    // kSteady: the loader owns the idle slot. kLoaded: the audio thread owns both until its fade
    // ends and it stores kSteady again.
    std::atomic<int> state{kSteady};
    bool fading = false;
    int faded = 0;
    int fadeFrames = 1;
};

} // namespace quarvine
