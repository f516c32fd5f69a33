// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the amplifier per input sample, reported as ns_per_sample and as the multiple of real
// time at 44.1 kHz (x_realtime), plus the cost of creating an effect. The effect runs the fast
// chain on the fastest build this processor has; each build and the exact chain are also measured
// on their own.
#include "dsp/circuit_model.h"
#include "dsp/denormal_guard.h"
#include "effect/quarvine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == 1 ? 2400 : 0; // audioMasterVersion
}

std::vector<float> riff(int frames)
{
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = static_cast<float>(0.4 * std::sin(2.0 * kPi * 82.41 * n / 44100.0) +
                                  0.2 * std::sin(2.0 * kPi * 246.9 * n / 44100.0));
    return x;
}

void reportPerSample(benchmark::State& state, double framesPerIteration)
{
    using benchmark::Counter;
    state.counters["ns_per_sample"] =
        Counter(framesPerIteration * 1e-9, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["x_realtime"] = Counter(framesPerIteration / 44100.0, Counter::kIsIterationInvariantRate);
}

struct Effect {
    Effect() : effect(std::make_unique<Quarvine>(hostCallback)) {}
    std::unique_ptr<Quarvine> effect;
};

void run(benchmark::State& state, Quarvine& q, int blockSize)
{
    std::vector<float> in = riff(44100), out(blockSize);
    size_t pos = 0;
    for (auto _ : state) {
        if (pos + blockSize > in.size())
            pos = 0;
        float* inputs[1] = {in.data() + pos};
        float* outputs[1] = {out.data()};
        q.processReplacing(inputs, outputs, blockSize);
        benchmark::DoNotOptimize(out.data());
        pos += blockSize;
    }
    reportPerSample(state, blockSize);
}

void BM_DefaultSettings(benchmark::State& state)
{
    Effect e;
    run(state, *e.effect, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_DefaultSettings)->Arg(32)->Arg(512)->Arg(4096);

void BM_DriveMasterVolumeFull(benchmark::State& state)
{
    Effect e;
    e.effect->setParameter(quarvine::kDrive, 1.0f);
    e.effect->setParameter(quarvine::kMaster, 1.0f);
    e.effect->setParameter(quarvine::kVolume, 1.0f);
    run(state, *e.effect, 512);
}
BENCHMARK(BM_DriveMasterVolumeFull);

// Automation: Drive and the three tone controls move every 64 samples, so both control-driven
// networks recompute their coefficients that often.
void BM_ParameterChangeEvery64(benchmark::State& state)
{
    Effect e;
    std::vector<float> in = riff(44100), out(512);
    size_t pos = 0;
    int step = 0;
    for (auto _ : state) {
        if (pos + 512 > in.size())
            pos = 0;
        for (int chunk = 0; chunk < 512; chunk += 64) {
            const float v = 0.25f + 0.5f * static_cast<float>((step++ % 100) / 100.0);
            e.effect->setParameter(quarvine::kDrive, v);
            e.effect->setParameter(quarvine::kTreble, 1.0f - v);
            e.effect->setParameter(quarvine::kMiddle, v);
            e.effect->setParameter(quarvine::kBass, 1.0f - v);
            float* inputs[1] = {in.data() + pos + chunk};
            float* outputs[1] = {out.data() + chunk};
            e.effect->processReplacing(inputs, outputs, 64);
        }
        benchmark::DoNotOptimize(out.data());
        pos += 512;
    }
    reportPerSample(state, 512);
}
BENCHMARK(BM_ParameterChangeEvery64);

// The cost of 4x and 8x as a multiple of 2x, measured side by side on the same blocks (default
// settings, block 512), so that the processor's speed changes during the run cancel out.
void BM_OversamplingCostOver2x(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    Effect effects[3];
    const float positions[3] = {0.0f, 0.5f, 1.0f}; // 2x, 4x, 8x
    for (int i = 0; i < 3; ++i)
        effects[i].effect->setParameter(quarvine::kOversampling, positions[i]);
    std::vector<float> in = riff(44100), out(512);
    size_t pos = 0;
    double seconds[3] = {};
    for (auto _ : state) {
        if (pos + 512 > in.size())
            pos = 0;
        for (int i = 0; i < 3; ++i) {
            float* inputs[1] = {in.data() + pos};
            float* outputs[1] = {out.data()};
            const auto start = Clock::now();
            effects[i].effect->processReplacing(inputs, outputs, 512);
            benchmark::DoNotOptimize(out.data());
            seconds[i] += std::chrono::duration<double>(Clock::now() - start).count();
        }
        pos += 512;
    }
    state.counters["ns_per_sample_2x"] = 1e9 * seconds[0] / (512.0 * static_cast<double>(state.iterations()));
    state.counters["cost_4x_over_2x"] = seconds[1] / seconds[0];
    state.counters["cost_8x_over_2x"] = seconds[2] / seconds[0];
}
BENCHMARK(BM_OversamplingCostOver2x)->MinTime(2.0);

void BM_ConstructEffect(benchmark::State& state)
{
    for (auto _ : state) {
        auto* q = new Quarvine(hostCallback);
        benchmark::DoNotOptimize(q);
        delete q;
    }
}
BENCHMARK(BM_ConstructEffect);

void setLoudControls(quarvine::AmpControls& controls)
{
    quarvine::AmpControls::store(controls.masterLevel, 0.9993);
    quarvine::AmpControls::store(controls.driveLevel, 0.9993);
    quarvine::AmpControls::store(controls.trebleSetting, 0.5);
    quarvine::AmpControls::store(controls.middleSetting, 0.5);
    quarvine::AmpControls::store(controls.bassLevel, 0.112725);
    quarvine::AmpControls::store(controls.outputVolume, 1.0);
}

void setDefaultControls(quarvine::AmpControls& controls)
{
    quarvine::AmpControls::store(controls.masterLevel, 0.112725);
    quarvine::AmpControls::store(controls.driveLevel, 0.112725);
    quarvine::AmpControls::store(controls.trebleSetting, 0.5);
    quarvine::AmpControls::store(controls.middleSetting, 0.5);
    quarvine::AmpControls::store(controls.bassLevel, 0.112725);
    quarvine::AmpControls::store(controls.outputVolume, 1.0);
}

// The chain on its own (no effect around it), default settings, block 512: one build of the fast
// chain, or the exact chain.
void chainAlone(benchmark::State& state, bool exact, quarvine::ChainPath path)
{
    quarvine::AmpControls controls;
    setDefaultControls(controls);
    auto model = std::make_unique<quarvine::CircuitModel>();
    quarvine::buildCircuitModel(*model, 44100.0);
    model->chainPath = path;
    std::vector<float> in = riff(44100), out(512);
    size_t pos = 0;
    for (auto _ : state) {
        if (pos + 512 > in.size())
            pos = 0;
        if (exact)
            quarvine::processBlockExact(*model, controls, in.data() + pos, out.data(), 512, quarvine::ProcessMode::replace);
        else
            quarvine::processBlock(*model, controls, in.data() + pos, out.data(), 512, quarvine::ProcessMode::replace);
        benchmark::DoNotOptimize(out.data());
        pos += 512;
    }
    reportPerSample(state, 512);
}

// Silence after a loud passage. The fast chain falls asleep once its state has settled (about a
// second in); the exact chain keeps working through the decaying tails, which run into the
// denormal range: with flush-to-zero (as both processBlock functions set it) or without.
enum class SilenceCase { fastAsleep, exactFlushToZero, exactNoFlush };

void silenceAfterLoud(benchmark::State& state, SilenceCase which)
{
    quarvine::AmpControls controls;
    setLoudControls(controls);
    auto model = std::make_unique<quarvine::CircuitModel>();
    quarvine::buildCircuitModel(*model, 44100.0);
    std::vector<float> loud = riff(4410), silence(512, 0.0f), out(4410);
    for (float& v : loud)
        v *= 2.0f;
#if QUARVINE_HAS_MXCSR
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~quarvine::DenormalGuard::kFlushBits);
#endif
    auto process = [&](const float* in, int frames) {
        switch (which) {
        case SilenceCase::fastAsleep:
            quarvine::processBlock(*model, controls, in, out.data(), frames, quarvine::ProcessMode::replace);
            break;
        case SilenceCase::exactFlushToZero:
            quarvine::processBlockExact(*model, controls, in, out.data(), frames, quarvine::ProcessMode::replace);
            break;
        case SilenceCase::exactNoFlush:
            quarvine::processFramesExact(*model, controls, in, out.data(), frames, quarvine::ProcessMode::replace);
            break;
        }
    };
    process(loud.data(), 4410);
    // Let the tail decay for a while (ten seconds) before measuring.
    for (int i = 0; i < 44100 * 10 / 512; ++i)
        process(silence.data(), 512);
    for (auto _ : state) {
        process(silence.data(), 512);
        benchmark::DoNotOptimize(out.data());
    }
#if QUARVINE_HAS_MXCSR
    _mm_setcsr(saved);
#endif
    reportPerSample(state, 512);
}

void BM_SilenceAfterLoud_Asleep(benchmark::State& state) { silenceAfterLoud(state, SilenceCase::fastAsleep); }
void BM_ExactSilenceAfterLoud_FlushToZero(benchmark::State& state)
{
    silenceAfterLoud(state, SilenceCase::exactFlushToZero);
}
void BM_ExactSilenceAfterLoud_NoFlush(benchmark::State& state) { silenceAfterLoud(state, SilenceCase::exactNoFlush); }
BENCHMARK(BM_SilenceAfterLoud_Asleep);
BENCHMARK(BM_ExactSilenceAfterLoud_FlushToZero);
BENCHMARK(BM_ExactSilenceAfterLoud_NoFlush);

void BM_ExactChain(benchmark::State& state) { chainAlone(state, true, quarvine::ChainPath::baseline); }
BENCHMARK(BM_ExactChain);

} // namespace

int main(int argc, char** argv)
{
    // One case per build of the fast chain this processor can run.
    const std::pair<quarvine::ChainPath, const char*> builds[] = {{quarvine::ChainPath::baseline, "BM_FastChain/sse2"},
                                                                  {quarvine::ChainPath::avx2, "BM_FastChain/avx2"},
                                                                  {quarvine::ChainPath::avx512, "BM_FastChain/avx512"}};
    for (const auto& [path, name] : builds)
        if (quarvine::chainPathAvailable(path))
            benchmark::RegisterBenchmark(name, [path = path](benchmark::State& state) { chainAlone(state, false, path); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
