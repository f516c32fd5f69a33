// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinets prepared for one host rate, and the one lock-free way a loading thread hands a new
// set to the audio thread.
#pragma once

#include "dsp/partitioned_convolver.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace quarvine {

// Built off the audio thread (it allocates), then owned by the audio thread until given back.
// Position 0 is no cabinet; each later position has a convolver, or none where nothing is loaded
// (the User position before a response is loaded), which plays as no cabinet.
struct CabinetBank {
    double sampleRate = 0.0;
    std::vector<std::unique_ptr<PartitionedConvolver>> convolvers; // index = position - 1

    PartitionedConvolver* at(int position) const
    {
        const auto index = static_cast<std::size_t>(position - 1);
        return position >= 1 && index < convolvers.size() ? convolvers[index].get() : nullptr;
    }
};

// One slot each way: offered banks the audio thread has not yet taken, and the bank it has given
// back for the loading side to free (never freed on the audio thread).
class CabinetHandover {
public:
    CabinetHandover() = default;
    CabinetHandover(const CabinetHandover&) = delete;
    CabinetHandover& operator=(const CabinetHandover&) = delete;
    ~CabinetHandover()
    {
        delete pending.load();
        delete retired.load();
    }

    // Loading side, any thread but the audio thread. A bank offered before and not yet taken is
    // replaced (and freed): the newest wins.
    void offer(std::unique_ptr<CabinetBank> bank)
    {
        const std::lock_guard<std::mutex> loaders(loading);
        delete retired.exchange(nullptr, std::memory_order_acquire);
        delete pending.exchange(bank.release(), std::memory_order_acq_rel);
    }
    // Loading side: free what the audio thread gave back.
    void collect()
    {
        const std::lock_guard<std::mutex> loaders(loading);
        delete retired.exchange(nullptr, std::memory_order_acquire);
    }

    // Audio thread: the newest offered bank, or null when there is none or the bank given back last
    // has not been collected (the new one waits; the slot back must be free before it is taken).
    CabinetBank* take()
    {
        if (retired.load(std::memory_order_acquire) != nullptr)
            return nullptr;
        return pending.exchange(nullptr, std::memory_order_acq_rel);
    }
    // Audio thread, for a bank it took and no longer plays; only after take() found the slot free.
    void giveBack(CabinetBank* bank) { retired.store(bank, std::memory_order_release); }

private:
    std::atomic<CabinetBank*> pending{nullptr};
    std::atomic<CabinetBank*> retired{nullptr};
    std::mutex loading; // between loading threads only; the audio thread never takes it
};

} // namespace quarvine
