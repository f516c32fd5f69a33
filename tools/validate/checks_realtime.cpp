// SPDX-License-Identifier: GPL-3.0-or-later
// Test 8: processReplacing must not allocate, free or lock.
#include "alloc_guard.h"
#include "validator.h"

#include <vector>

namespace validate {

void testRealTime(Context& context, Random& random, Report& report)
{
    if (!allocationGuardAvailable()) {
        report.skip("sanitizer build: the sanitizer owns malloc, nothing counted");
        return;
    }
    if (context.outputs < 1) {
        report.skip("no audio outputs");
        return;
    }
    constexpr std::size_t kBlock = 512;
    vsthost::setCallbackObserver(&hostCallbackObserver);
    auto plugin = context.open(44100.0, kBlock);
    AEffect* effect = plugin->effect();
    Bus in = context.inputBus(kBlock), out = context.outputBus(kBlock);
    // A plug-in keeping its state in a chunk gets the one it had at the start set back now and
    // then, as a host recalling a project does: what the audio thread then takes up from the
    // restored state must not allocate either.
    std::vector<char> chunk;
    if (effect->flags & effFlagsProgramChunks) {
        void* data = nullptr;
        const VstIntPtr size = plugin->dispatch(effGetChunk, 0, 0, &data);
        if (size > 0 && data)
            chunk.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    }
    GuardCounts first, rest;
    for (std::size_t b = 0, blocks = context.scaled(200); b < blocks; ++b) {
        in.noise(random, 0.5f);
        // Parameter changes between blocks make the effect redo its control-dependent work
        // inside the next processReplacing, where it must not allocate either.
        if (b % 4 == 1)
            for (VstInt32 p = 0; p < context.parameters; ++p)
                plugin->setParameter(p, static_cast<float>(random.unit()));
        if (b % 8 == 7 && !chunk.empty()) {
            std::vector<char> copy = chunk; // the plug-in may keep or change what it is given
            plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
        }
        auto frames = static_cast<VstInt32>(b % 3 == 2 ? 1 + random.below(kBlock) : kBlock);
        float** inputs = in.at(0);
        float** outputs = out.at(0);
        {
            AudioSection section(b == 0 ? first : rest);
            effect->processReplacing(effect, inputs, outputs, frames);
        }
    }
    vsthost::setCallbackObserver(nullptr);
    auto describe = [](const GuardCounts& counts) {
        return std::to_string(counts.allocations) + " allocations, " + std::to_string(counts.frees) + " frees, " +
               std::to_string(counts.locks) + " mutex locks";
    };
    if (first.allocations || first.frees || first.locks)
        report.fail("first processReplacing after resume: " + describe(first));
    if (rest.allocations || rest.frees || rest.locks)
        report.fail("later processReplacing calls: " + describe(rest));
    // A try-lock never waits, the usual way to share state with another thread from audio code;
    // still worth knowing, as a contended one means skipped work.
    if (std::size_t tries = first.tryLocks + rest.tryLocks)
        report.advise("processReplacing calls: " + std::to_string(tries) + " mutex try-locks");
    plugin->suspend();
}

} // namespace validate
