// The cabinet convolver's cost beside the 2x chain's, on the same audio in the same run, and the
// real FFTs it could be built on (a forward and an inverse transform per iteration, the pattern of
// one partition's step).
#include "dsp/chain_path.h"
#include "dsp/circuit_model.h"

#include <benchmark/benchmark.h>

#include <unsupported/Eigen/FFT>

#if QUARVINE_BENCH_KISSFFT
#include <kiss_fftr.h>
#endif
#if QUARVINE_BENCH_FFTW
#include <fftw3.h>
#endif

#include <cmath>
#include <complex>
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

} // namespace

BENCHMARK_MAIN();
