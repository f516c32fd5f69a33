// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/cabinet_stage.h"

#include <algorithm>
#include <cmath>

namespace quarvine {
namespace {

constexpr int kChunk = 64;

void run(PartitionedConvolver* convolver, float* io, int frames)
{
    if (convolver)
        convolver->process(io, io, frames);
}

void resetIfAny(PartitionedConvolver* convolver)
{
    if (convolver)
        convolver->reset();
}

} // namespace

CabinetStage::CabinetStage(std::unique_ptr<CabinetBank> first) : bank(first.release())
{
    playing.bank = bank;
}

CabinetStage::~CabinetStage()
{
    delete bank;
    delete fadingFrom;
}

void CabinetStage::process(float* io, int frames, int position)
{
    if (!fading)
        startChanges(position);
    int done = 0;
    while (fading && done < frames) {
        float from[kChunk], to[kChunk];
        const int n = std::min({frames - done, kChunk, fadeFrames - faded});
        std::copy(io + done, io + done + n, from);
        std::copy(io + done, io + done + n, to);
        run(previous.convolver(), from, n);
        run(playing.convolver(), to, n);
        for (int i = 0; i < n; ++i) {
            const float g = static_cast<float>(faded + i + 1) / static_cast<float>(fadeFrames);
            io[done + i] = from[i] + g * (to[i] - from[i]);
        }
        faded += n;
        done += n;
        if (faded == fadeFrames)
            endFade();
    }
    if (done < frames)
        run(playing.convolver(), io + done, frames - done);
    fresh = false;
}

void CabinetStage::reset()
{
    if (fading)
        endFade();
    resetIfAny(playing.convolver());
    fresh = true;
}

void CabinetStage::startChanges(int position)
{
    CabinetBank* next = banks.take();
    if (!next && position == playing.position)
        return;
    const Source to{next ? next : bank, position};
    // Nothing to hear between two sources that both pass the signal through, and nothing to fade
    // from before the first block.
    if (fresh || (!to.convolver() && !playing.convolver())) {
        if (next) {
            banks.giveBack(bank);
            bank = next;
        }
        playing = to;
        resetIfAny(playing.convolver());
        return;
    }
    if (next) {
        fadingFrom = bank;
        bank = next;
    }
    beginFade(to);
}

void CabinetStage::beginFade(const Source& to)
{
    previous = playing;
    playing = to;
    resetIfAny(playing.convolver());
    fadeFrames = std::max(1, static_cast<int>(std::lround(kFadeSeconds * bank->sampleRate)));
    faded = 0;
    fading = true;
}

void CabinetStage::endFade()
{
    fading = false;
    previous = {};
    if (fadingFrom) {
        banks.giveBack(fadingFrom);
        fadingFrom = nullptr;
    }
}

} // namespace quarvine
