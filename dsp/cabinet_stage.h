// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinet after the amplifier: the chosen position's convolver, with a linear crossfade of
// kFadeSeconds whenever the position or the bank (a new response, a new rate) changes. Position 0
// leaves the signal untouched, bit for bit.
#pragma once

#include "dsp/cabinet_bank.h"

namespace quarvine {

class CabinetStage {
public:
    static constexpr double kFadeSeconds = 0.02;

    // Set-up, any thread but the audio thread; the first bank is installed without a fade.
    explicit CabinetStage(std::unique_ptr<CabinetBank> first);
    ~CabinetStage();
    CabinetStage(const CabinetStage&) = delete;
    CabinetStage& operator=(const CabinetStage&) = delete;

    // Where loading threads offer new banks.
    CabinetHandover& handover() { return banks; }

    // Audio thread: io in place, the cabinet at `position`. Allocates nothing, takes no lock.
    // Changes wait while a fade runs and start at the next block.
    void process(float* io, int frames, int position);
    // Audio thread, or while nothing processes: silence from here. A change waiting is taken at
    // the next block without a fade.
    void reset();

    // Whether the next block of this position leaves the signal untouched (no cabinet, no fade).
    bool passesThrough(int position) const { return !fading && position == playing.position && !playing.convolver(); }
    double sampleRate() const { return bank->sampleRate; }

private:
    struct Source {
        const CabinetBank* bank = nullptr;
        int position = 0;
        PartitionedConvolver* convolver() const { return bank ? bank->at(position) : nullptr; }
    };

    void startChanges(int position);
    void beginFade(const Source& to);
    void endFade();

    CabinetHandover banks;
    CabinetBank* bank;           // the bank played (owned; given back when replaced)
    CabinetBank* fadingFrom = nullptr; // the bank replaced by the fade under way, given back at its end
    Source playing;              // after a fade: the source faded to
    Source previous;             // during a fade: the source faded from
    bool fading = false;
    bool fresh = true;           // nothing processed since set-up or reset: changes need no fade
    int faded = 0;
    int fadeFrames = 1;
};

} // namespace quarvine
