// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain's driver: picks the kernel build, runs the block in chunks, recovers from
// non-finite values exactly as the exact chain does, and sleeps through settled silence.
#include "dsp/circuit_model.h"
#include "dsp/denormal_guard.h"
#include "dsp/fast_chain_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quarvine {

bool chainPathAvailable(ChainPath path)
{
    switch (path) {
    case ChainPath::baseline:
        return true;
    case ChainPath::avx2:
#if QUARVINE_HAS_X86_CHAINS
        // The processor and the operating system (which must save the wider registers).
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
        return false;
#endif
    case ChainPath::avx512:
#if QUARVINE_HAS_X86_CHAINS
        return chainPathAvailable(ChainPath::avx2) && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512vl");
#else
        return false;
#endif
    }
    return false;
}

ChainPath fastestChainPath()
{
    for (ChainPath path : {ChainPath::avx512, ChainPath::avx2})
        if (chainPathAvailable(path))
            return path;
    return ChainPath::baseline;
}

namespace {

using Kernel = ChainKernel;

// A path the processor cannot run falls back to the baseline.
Kernel kernelFor(ChainPath path)
{
#if QUARVINE_HAS_X86_CHAINS
    if (path == ChainPath::avx512 && chainPathAvailable(ChainPath::avx512))
        return avx512::runFastChain;
    if (path == ChainPath::avx2 && chainPathAvailable(ChainPath::avx2))
        return avx2::runFastChain;
#else
    (void)path;
#endif
    return baseline::runFastChain;
}

// Every value that carries from one sample to the next, handed to visit in a fixed order. The
// fast chain changes nothing else (the coefficients are refreshed before a chunk starts).
template <typename Model, typename Visit>
constexpr void forEachState(Model& m, Visit visit)
{
    visit(m.triode1.cathodeVoltage);
    visit(m.triode2.cathodeVoltage);
    visit(m.triode3.cathodeVoltage);
    for (auto* f : {&m.couplingFilterA, &m.couplingFilterB, &m.outputCouplingFilter}) {
        visit(f->y);
        visit(f->x1);
    }
    for (int i = 0; i < 4; ++i) {
        visit(m.inputNetwork.inputHistory[i]);
        visit(m.inputNetwork.outputHistory[i]);
        visit(m.toneStack.filterState[i]);
    }
    for (auto* f : {&m.stageLowpass1, &m.stageLowpass2, &m.stageLowpass3})
        visit(f->y);
    visit(m.shelfFilter.x1);
    visit(m.shelfFilter.y1);
    for (auto* f : {&m.midBoostFilter, &m.bleedShelfFilter, &m.rumbleFilter}) {
        visit(f->x1);
        visit(f->x2);
        visit(f->y1);
        visit(f->y2);
    }
    for (auto* f : {&m.upsampler, &m.downsampler})
        for (int j = 0; j < 12; ++j) {
            visit(f->previousInput[j]);
            visit(f->previousOutput[j]);
        }
    for (auto* f : {&m.upsampler4, &m.downsampler4, &m.upsampler8, &m.downsampler8})
        for (int j = 0; j < OctaveHalfBand::kSections; ++j) {
            visit(f->previousInput[j]);
            visit(f->previousOutput[j]);
        }
}

// Counted from the list itself, so that a value added there is saved and compared too.
consteval int countStates()
{
    // Storage for a model that is never built: the count only names the fields.
    union Storage {
        constexpr Storage() : none() {}
        char none;
        CircuitModel model;
    } storage;
    int n = 0;
    forEachState(storage.model, [&n](double&) { ++n; });
    return n;
}
constexpr int kStateCount = countStates();
using State = std::array<double, kStateCount>;

State stateOf(const CircuitModel& m)
{
    State s{};
    int n = 0;
    forEachState(m, [&](double v) { s[n++] = v; });
    return s;
}

void restoreState(CircuitModel& m, const State& s)
{
    int n = 0;
    forEachState(m, [&](double& v) { v = s[n++]; });
}

// Settled: over a whole chunk of silence no state value moved by more than this fraction of its
// size (plus the same amount absolute, for values near 0). The slowest decay in the model (the
// 30 ms coupling filters) loses at least 2 % of what is left per chunk at 192 kHz, so what remains
// is under 50 times the last chunk's change, far below anything audible or the 1e-6 the output is
// held to.
constexpr double kSettledChange = 1e-12;

bool settled(const State& a, const CircuitModel& after)
{
    const State b = stateOf(after);
    for (int i = 0; i < kStateCount; ++i)
        if (!(std::abs(b[i] - a[i]) <= kSettledChange * (1.0 + std::abs(b[i]))))
            return false;
    return true;
}

// Digital silence; a non-finite sample enters the chain as 0, so it counts as silence too.
bool silent(const float* input, int frames)
{
    for (int i = 0; i < frames; ++i)
        if (input[i] != 0.0f && std::isfinite(input[i]))
            return false;
    return true;
}

bool sameControls(const SilenceTracker& t, const ChainSettings& s)
{
    return t.drive == s.drive && t.bass == s.bass && t.middle == s.middle && t.treble == s.treble &&
           t.fixedTone == s.fixedTone;
}

void remember(SilenceTracker& t, const ChainSettings& s)
{
    t.drive = s.drive;
    t.bass = s.bass;
    t.middle = s.middle;
    t.treble = s.treble;
    t.fixedTone = s.fixedTone;
}

void refreshNetworks(CircuitModel& model, const ChainSettings& s)
{
    if (s.drive != model.inputNetwork.cachedDrive)
        refreshInputNetwork(model.inputNetwork, s.drive);
    if (s.toneStackRamp)
        return; // the ramp brings its own coefficients
    const double* cached = model.toneStack.cachedControls;
    if (s.bass != cached[0] || s.middle != cached[1] || s.treble != cached[2] || s.fixedTone != cached[3])
        refreshToneStack(model.toneStack, s.bass, s.middle, s.treble, s.fixedTone);
}

// gains: Volume (and the switch's fade) per frame, or null when volume holds for the chunk.
void writeOutput(const double* result, double volume, const double* gains, float* output, int frames,
                 ProcessMode mode)
{
    for (int i = 0; i < frames; ++i) {
        const double y = outputSample(result[i] * (gains ? gains[i] : volume));
        if (mode == ProcessMode::replace)
            output[i] = static_cast<float>(y);
        else
            output[i] = static_cast<float>(y) + output[i];
    }
}

// What one chunk runs with: the networks' controls for the whole chunk, and Master, Volume and the
// switch's fade frame by frame where they move.
struct ChunkControls {
    ChainSettings settings;
    double volume;
    const double* gains;
    double masters[kFastChunkSubSamples / 2];
    double gainPerFrame[kFastChunkSubSamples / 2];
};

void prepareControls(const CircuitModel& model, int frames, ChunkControls& c)
{
    const ControlGlide& g = model.glide;
    const ControlValues net = networkValues(g);
    const ControlValues now = frameValues(g);
    c.settings = {net.drive, net.bass, net.middle, net.treble, net.fixedTone, now.master, nullptr, nullptr, 0};
    if (const ToneStackRamp& ramp = model.toneStackRamp; ramp.subSamples != 0) {
        c.settings.toneStackRamp = &ramp;
        c.settings.toneStackRampIndex = (g.position - ramp.segmentStart) * model.oversampling;
    }
    c.volume = now.volume;
    c.gains = nullptr;
    const OversamplingSwitch& fade = model.oversamplingSwitch;
    const bool fading = fade.phase != SwitchPhase::steady;
    if (!gliding(g) && !fading)
        return;
    const bool masterMoves = gliding(g) && g.from.master != g.to.master;
    for (int i = 0; i < frames; ++i) {
        const ControlValues at = glideValuesAt(g, g.position + i);
        c.masters[i] = at.master;
        c.gainPerFrame[i] = at.volume * switchGain(fade, fade.position + i);
    }
    if (masterMoves)
        c.settings.masterPerFrame = c.masters;
    c.gains = c.gainPerFrame;
}

// The frames the next chunk may take: the networks keep one set of coefficients and the fade
// ends at a chunk's end.
int chunkLimit(const CircuitModel& model, int frames)
{
    std::int64_t n = frames < fastChunkFrames(model) ? frames : fastChunkFrames(model);
    if (gliding(model.glide))
        n = std::min(n, framesToNextUpdate(model.glide));
    if (model.oversamplingSwitch.phase != SwitchPhase::steady)
        n = std::min(n, framesLeftInFade(model.oversamplingSwitch));
    return static_cast<int>(n);
}

// Runs up to chunkLimit frames; returns how many it consumed (fewer when a non-finite value
// reset the model, so that the next chunk starts right after the reset).
int runChunk(CircuitModel& model, Kernel kernel, const AmpControls& controls, const float* input, float* output,
             int frames, ProcessMode mode)
{
    ChunkControls c;
    prepareControls(model, frames, c);
    const ChainSettings& settings = c.settings;
    SilenceTracker& tracker = model.silence;
    const bool quiet = silent(input, frames);
    const bool unchanged = sameControls(tracker, settings);
    if (tracker.asleep && quiet && unchanged) {
        if (mode == ProcessMode::replace)
            for (int i = 0; i < frames; ++i)
                output[i] = 0.0f;
        endFrames(model, controls, frames);
        return frames;
    }
    tracker.asleep = false;
    remember(tracker, settings);

    refreshNetworks(model, settings);
    const State before = stateOf(model);
    double result[kFastChunkSubSamples / 2];
    kernel(model, settings, input, result, frames);

    int bad = 0;
    while (bad < frames && std::isfinite(result[bad]))
        ++bad;
    if (bad < frames) {
        // As in the exact chain: the frames before the bad one stand, the bad one gives 0, and the
        // model goes back to its bias point. Run the good frames again from the saved state.
        restoreState(model, before);
        if (bad > 0)
            kernel(model, settings, input, result, bad);
        rebuildCircuitModel(model);
        remember(model.silence, settings);
        result[bad] = 0.0;
        frames = bad + 1;
    } else if (quiet && unchanged && settled(before, model)) {
        tracker.asleep = true;
    }
    writeOutput(result, c.volume, c.gains, output, frames, mode);
    endFrames(model, controls, frames);
    return frames;
}

} // namespace

void processFrames(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                   int frames, ProcessMode mode)
{
    processFramesWith(kernelFor(model.chainPath), model, controls, input, output, frames, mode);
}

void processFramesWith(ChainKernel kernel, CircuitModel& model, const AmpControls& controls, const float* input,
                       float* output, int frames, ProcessMode mode)
{
    // The controls are read before every chunk; a change made between two calls acts from the
    // first frame of the next.
    int done = 0;
    while (done < frames) {
        beginFrames(model, controls);
        const int n = chunkLimit(model, frames - done);
        done += runChunk(model, kernel, controls, input + done, output + done, n, mode);
    }
}

void processBlock(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                  int frames, ProcessMode mode)
{
    if (frames <= 0)
        return;
    DenormalGuard guard;
    followHostRate(model, controls);
    processFrames(model, controls, input, output, frames, mode);
}

} // namespace quarvine
