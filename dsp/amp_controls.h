// SPDX-License-Identifier: GPL-3.0-or-later
// The values the signal chain reads from the effect. Written from any host thread, read by the
// audio thread: atomics with relaxed order cost a plain store and load, without a data race.
#pragma once

#include <atomic>

namespace quarvine {

struct AmpControls {
    std::atomic<double> masterLevel{0.0};
    std::atomic<double> driveLevel{0.0};
    std::atomic<double> trebleSetting{0.0};
    std::atomic<double> middleSetting{0.0};
    std::atomic<double> bassLevel{0.0};
    std::atomic<double> fixedToneSetting{0.5};
    std::atomic<double> outputVolume{0.0};
    // How many times the host rate the circuit runs at: 2, 4 or 8.
    std::atomic<double> oversampling{2.0};
    // The host's current sample rate; the model is rebuilt for it on the audio thread.
    std::atomic<double> sampleRate{44100.0};

    static double load(const std::atomic<double>& field) { return field.load(std::memory_order_relaxed); }
    static void store(std::atomic<double>& field, double value) { field.store(value, std::memory_order_relaxed); }
};

enum class ProcessMode { replace, add };

} // namespace quarvine
