// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinet convolver's cost beside the 2x chain's, on the same audio in the same run, and real
// FFTs: its own and three libraries' (a forward and an inverse transform per iteration, the
// pattern of one partition's step).
#include "dsp/circuit_model.h"
#include "dsp/partitioned_convolver.h"
#include "dsp/real_fft.h"

#include <benchmark/benchmark.h>

#include <unsupported/Eigen/FFT>

#if QUARVINE_BENCH_KISSFFT
#include <kiss_fftr.h>
#endif
#if QUARVINE_BENCH_FFTW
#include <fftw3.h>
#endif

#include <algorithm>
#include <cmath>
#include <complex>
#include <ctime>
#include <memory>
#include <vector>

namespace {

std::vector<float> noise(int n, unsigned seed)
{
    std::vector<float> x(n);
    for (float& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(seed >> 8) - (1 << 23)) / static_cast<float>(1 << 23);
    }
    return x;
}

void reportTransforms(benchmark::State& state, int n)
{
    state.counters["ns_per_point"] = benchmark::Counter(
        n * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FftEigen(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Eigen::FFT<float> fft;
    fft.SetFlag(Eigen::FFT<float>::Unscaled);
    fft.SetFlag(Eigen::FFT<float>::HalfSpectrum);
    std::vector<float> x = noise(n, 1), y(n);
    std::vector<std::complex<float>> spectrum(n / 2 + 1);
    for (auto _ : state) {
        fft.fwd(spectrum.data(), x.data(), n);
        fft.inv(y.data(), spectrum.data(), n);
        benchmark::DoNotOptimize(y.data());
    }
    reportTransforms(state, n);
}
BENCHMARK(BM_FftEigen)->RangeMultiplier(4)->Range(64, 65536);

void BM_FftOurs(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    quarvine::RealFft fft(n);
    std::vector<float> x = noise(n, 1), y(n), re(n / 2 + 1), im(n / 2 + 1);
    for (auto _ : state) {
        fft.forward(x.data(), re.data(), im.data());
        fft.inverse(re.data(), im.data(), y.data());
        benchmark::DoNotOptimize(y.data());
    }
    reportTransforms(state, n);
}
BENCHMARK(BM_FftOurs)->RangeMultiplier(4)->Range(64, 65536);

#if QUARVINE_BENCH_KISSFFT
void BM_FftKissC(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    kiss_fftr_cfg forward = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(n, 1, nullptr, nullptr);
    std::vector<float> x = noise(n, 1), y(n);
    std::vector<kiss_fft_cpx> spectrum(n / 2 + 1);
    for (auto _ : state) {
        kiss_fftr(forward, x.data(), spectrum.data());
        kiss_fftri(inverse, spectrum.data(), y.data());
        benchmark::DoNotOptimize(y.data());
    }
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
    reportTransforms(state, n);
}
BENCHMARK(BM_FftKissC)->RangeMultiplier(4)->Range(64, 65536);
#endif

#if QUARVINE_BENCH_FFTW
void BM_FftFftwYardstick(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> x = noise(n, 1), y(n);
    std::vector<std::complex<float>> spectrum(n / 2 + 1);
    auto* s = reinterpret_cast<fftwf_complex*>(spectrum.data());
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, x.data(), s, FFTW_MEASURE);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(n, s, y.data(), FFTW_MEASURE);
    x = noise(n, 1);
    for (auto _ : state) {
        fftwf_execute(forward);
        fftwf_execute(inverse);
        benchmark::DoNotOptimize(y.data());
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(inverse);
    reportTransforms(state, n);
}
BENCHMARK(BM_FftFftwYardstick)->RangeMultiplier(4)->Range(64, 65536);
#endif

constexpr double kRate = 48000.0; // Hz

// A cabinet-like response: noise under an exponential decay of 60 dB over the length.
std::vector<float> decayingResponse(int taps)
{
    std::vector<float> h = noise(taps, 5);
    for (int k = 0; k < taps; ++k)
        h[k] *= static_cast<float>(std::pow(10.0, -3.0 * k / taps));
    return h;
}

std::vector<float> riff(int frames)
{
    constexpr double kPi = 3.14159265358979323846;
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = static_cast<float>(0.4 * std::sin(2.0 * kPi * 82.41 * n / kRate) +
                                  0.2 * std::sin(2.0 * kPi * 246.9 * n / kRate));
    return x;
}

// This thread's processor time in seconds: other work on the machine does not count in.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The convolver after the 2x chain (default settings, 48 kHz), each timed on its own on the same
// blocks, so that the processor's speed changes during the run cancel out of the ratio. Also the
// slowest convolver call: the one where all stages' transforms fall together.
void BM_ConvolverOver2xChain(benchmark::State& state)
{
    const int taps = static_cast<int>(state.range(0));
    const int block = static_cast<int>(state.range(1));
    quarvine::AmpControls controls;
    quarvine::AmpControls::store(controls.masterLevel, 0.112725);
    quarvine::AmpControls::store(controls.driveLevel, 0.112725);
    quarvine::AmpControls::store(controls.trebleSetting, 0.5);
    quarvine::AmpControls::store(controls.middleSetting, 0.5);
    quarvine::AmpControls::store(controls.bassLevel, 0.112725);
    quarvine::AmpControls::store(controls.outputVolume, 1.0);
    quarvine::AmpControls::store(controls.sampleRate, kRate);
    auto model = std::make_unique<quarvine::CircuitModel>();
    quarvine::buildCircuitModel(*model, kRate);
    quarvine::PartitionedConvolver convolver;
    const std::vector<float> ir = decayingResponse(taps);
    convolver.prepare(ir.data(), taps);
    const std::vector<float> in = riff(48000);
    std::vector<float> amp(block), out(block);
    size_t pos = 0;
    double chainSeconds = 0.0, convolverSeconds = 0.0;
    // The slowest call of each window of 16384 frames (longer than any block's period) holds the
    // period's transforms; the least of these leaves out the calls that other work interrupted.
    const int window = std::max(1, 16384 / block);
    double windowWorst = 0.0, peak = 1e9;
    long calls = 0;
    // What the timer itself puts into each interval (a system call): both columns hold it, and at
    // 64 frames it is a share of the smaller one to keep in mind.
    double timerSeconds = 0.0;
    for (int i = 0; i < 1000; ++i) {
        const double before = threadSeconds();
        timerSeconds += (threadSeconds() - before) / 1000;
    }
    for (auto _ : state) {
        if (pos + block > in.size())
            pos = 0;
        const double start = threadSeconds();
        quarvine::processBlock(*model, controls, in.data() + pos, amp.data(), block, quarvine::ProcessMode::replace);
        benchmark::DoNotOptimize(amp.data());
        const double middle = threadSeconds();
        convolver.process(amp.data(), out.data(), block);
        benchmark::DoNotOptimize(out.data());
        const double end = threadSeconds();
        chainSeconds += middle - start;
        const double call = end - middle;
        convolverSeconds += call;
        windowWorst = std::max(windowWorst, call);
        if (++calls % window == 0) {
            peak = std::min(peak, windowWorst);
            windowWorst = 0.0;
        }
        pos += block;
    }
    const double frames = static_cast<double>(block) * static_cast<double>(state.iterations());
    state.counters["chain_ns_per_sample"] = 1e9 * chainSeconds / frames;
    state.counters["conv_ns_per_sample"] = 1e9 * convolverSeconds / frames;
    state.counters["conv_over_chain"] = convolverSeconds / chainSeconds;
    state.counters["timer_ns_per_sample"] = 1e9 * timerSeconds / block;
    if (calls >= window) {
        state.counters["peak_call_us"] = 1e6 * peak;
        state.counters["peak_over_block_time"] = peak * kRate / block;
    }
}
// A built-in cabinet (1024 taps), a 2048-tap one (43 ms) and a 500 ms response, at 64 and 512 frames; and the longest
// response a player may load (10 s), for its peak call.
BENCHMARK(BM_ConvolverOver2xChain)->ArgsProduct({{1024, 2048, 24000}, {64, 512}})->Args({480000, 64})->MinTime(2.0);

// Layouts for the same responses: direct head, growth of the stages, largest block.
void BM_ConvolverLayout(benchmark::State& state)
{
    const int taps = static_cast<int>(state.range(0));
    const quarvine::ConvolverLayout layout{.headLength = static_cast<int>(state.range(1)),
                                           .growth = static_cast<int>(state.range(2)),
                                           .largestBlock = static_cast<int>(state.range(3))};
    quarvine::PartitionedConvolver convolver;
    const std::vector<float> ir = decayingResponse(taps), in = riff(48000);
    convolver.prepare(ir.data(), taps, layout);
    std::vector<float> out(512);
    size_t pos = 0;
    for (auto _ : state) {
        if (pos + 512 > in.size())
            pos = 0;
        convolver.process(in.data() + pos, out.data(), 512);
        benchmark::DoNotOptimize(out.data());
        pos += 512;
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(512e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConvolverLayout)->ArgsProduct({{1024, 2048, 24000}, {64, 128, 256}, {8, 16}, {0, 256, 1024, 8192}});
// The direct head alone.
BENCHMARK(BM_ConvolverLayout)->Args({64, 64, 8, 8192})->Args({128, 128, 8, 8192})->Args({256, 256, 8, 8192});

} // namespace

BENCHMARK_MAIN();
