// SPDX-License-Identifier: GPL-3.0-or-later
// The fast chain over one chunk. Same circuit, same stages as the exact chain, arranged for speed:
//  - the input is upsampled for the whole chunk first, and downsampled at the end, the two
//    allpass chains of each half-band filter side by side in one SSE2 register;
//  - the stages with memory run as a skewed pipeline: in step n the stage at place k works on
//    sub-sample n - k, so the stages of one step are independent of each other and the processor
//    overlaps them, where the sample-by-sample order made every stage wait for the one before;
//  - every section keeps its state in locals for the chunk and adds its feedback term last (the
//    shortest loop-carried chain); the small sections use coefficients pre-scaled by their
//    normalisation, the 4th-order drive network keeps the exact chain's order (it is too sensitive);
//  - the triode fits use Estrin's scheme, the cathode update is regrouped so that only one
//    multiply-add follows the fit's division, and stages 1 and 2 share one SSE2 register;
//  - the output shaper, which has no memory, runs as a separate vectorised pass; exp is inline.
// This file is compiled once per instruction set (QUARVINE_FAST_VARIANT names the build).
//
// Changing a stage touches every place it lives; miss one and the chains drift apart:
//  1. its record, set-up and step (dsp/*.h, *.cpp), and its set-up in buildCircuitModel
//     (circuit_model.cpp); the step's section in runChain (process_block.cpp), the exact chain;
//  2. its fast class here (FastTriode, FastInputNetwork, FastToneStack and RampedToneStack,
//     FastLowPass, ...), and its plain (non-SSE2) form where it has one;
//  3. the paired lanes where it shares a register: FastTriodePair (triodes 1 and 2) and
//     HalfBandState (the two allpass chains), both forms of each;
//  4. its place in runPipelineStages (place<k>: in chain order, the depth of runPipeline), or its
//     own pass in runCircuit / runOversampled / runFastChain;
//  5. its carried values in forEachState (fast_block.cpp): the snapshot that the silence sleep
//     and the recovery use (the count follows the list);
//  6. its independent model in tests/dsp/reference_sections.cpp, reference_networks.cpp or
//     reference_triode.cpp, and its place in Chain::stage (reference_chain.cpp).
// Then run the dsp tests: the fast chain against the exact one, both against the reference.
// Nothing here calls an inline function shared with other files: the linker could hand this build's
// copy to the others (or theirs to this one).
#include "dsp/fast_chain_kernel.h"
#include "dsp/fast_math.h"

#include <cmath>

// The SSE2 forms where the target has SSE2; QUARVINE_FAST_SCALAR selects the plain forms that
// other processors build, so that they are compiled and tested here too.
#if (defined(__SSE2__) || defined(_M_X64)) && !QUARVINE_FAST_SCALAR
#define QUARVINE_FAST_SSE2 1
#include <immintrin.h>
#else
#define QUARVINE_FAST_SSE2 0
#endif

namespace quarvine::QUARVINE_FAST_VARIANT {
namespace {

using fastmath::madd;

template <int CoefficientCount>
class FastTriode {
public:
    FastTriode(TriodeStage<CoefficientCount>& stage, double rate) : stage(stage)
    {
        denominator[0] = 1.0;
        for (int i = 0; i < kNumeratorTerms; ++i)
            numerator[i] = stage.fitCoefficients[2 * i];
        for (int i = 1; i < kDenominatorTerms; ++i)
            denominator[i] = stage.fitCoefficients[2 * i - 1];
        fourM = 4.0 * stage.gridConductionFactor;
        halfInverse = stage.halfInverseGridFactor;
        cutoff = stage.cutoffPlateVoltage;
        // w = (Ck v rate + (cutoff - v - p) Gp + Ig) gain, expanded in v, p and the grid drop.
        const double gain = stage.cathodeGain;
        fromCathode = gain * (stage.cathodeCapacitance * rate - stage.plateConductance);
        fromSupply = gain * stage.plateConductance * stage.cutoffPlateVoltage;
        fromFit = gain * stage.plateConductance;
        fromGridDrop = gain * stage.gridConductance;
        v = stage.cathodeVoltage;
    }
    ~FastTriode() { stage.cathodeVoltage = v; }
    FastTriode(const FastTriode&) = delete;
    FastTriode& operator=(const FastTriode&) = delete;

    double operator()(double x)
    {
        // With u = x - v the grid-cathode voltage is u, or while the grid conducts the root of
        // m d^2 + d = u; the rest of u drops across the grid source resistance.
        const double u = x - v;
        double d = u;
        double gridDrop = 0.0;
        if (u > 0.0) {
            d = (std::sqrt(madd(fourM, u, 1.0)) - 1.0) * halfInverse;
            gridDrop = u - d;
        }
        const double p =
            d < -10.0 ? cutoff : fastmath::estrin(numerator, d) / fastmath::estrin(denominator, d);
        const double plate = v + p;
        const double w = madd(-fromFit, p, madd(fromGridDrop, gridDrop, madd(fromCathode, v, fromSupply)));
        v = w > 0.0 ? w : 0.0;
        return plate;
    }

private:
    static constexpr int kNumeratorTerms = (CoefficientCount + 1) / 2;
    static constexpr int kDenominatorTerms = CoefficientCount / 2 + 1;
    TriodeStage<CoefficientCount>& stage;
    double numerator[kNumeratorTerms];
    double denominator[kDenominatorTerms]; // 1 first: D(d) = 1 + c1 d + c3 d^2 + ...
    double fourM, halfInverse, cutoff;
    double fromCathode, fromSupply, fromFit, fromGridDrop;
    double v;
};

#if QUARVINE_FAST_SSE2
// Two doubles side by side in one SSE2 register.
using Pair = __m128d;
inline Pair pairMadd(Pair a, Pair b, Pair c)
{
#if defined(__FMA__)
    return _mm_fmadd_pd(a, b, c);
#else
    return _mm_add_pd(_mm_mul_pd(a, b), c);
#endif
}

// mask ? a : b, lane by lane.
inline Pair pairSelect(Pair mask, Pair a, Pair b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }

template <int B, int L>
inline Pair pairEstrinRange(const Pair* c, const Pair* powers)
{
    if constexpr (L == 1) {
        return c[B];
    } else {
        constexpr int half = fastmath::detail::lowerHalf(L);
        return pairMadd(pairEstrinRange<B + half, L - half>(c, powers), powers[fastmath::detail::log2Of(half)],
                        pairEstrinRange<B, half>(c, powers));
    }
}

template <int N>
inline Pair pairEstrin(const Pair (&c)[N], Pair x)
{
    Pair powers[4];
    powers[0] = x;
    for (int k = 1; k < 4; ++k)
        powers[k] = _mm_mul_pd(powers[k - 1], powers[k - 1]);
    return pairEstrinRange<0, N>(c, powers);
}

// Triode stages 1 and 2 side by side (lane 0 and lane 1): both use the [6/7] fit, and both rarely
// conduct or cut off, so their one shared branch is well predicted. In pipeline step n lane 0
// works on sub-sample n - Delay0, lane 1 on n - Delay1. Stage 3 ([10/10], conducting and cut off
// by turns) runs on its own.
template <int Delay0, int Delay1>
class FastTriodePair {
public:
    FastTriodePair(TriodeStage67& a, TriodeStage67& b, double rate) : first(a), second(b)
    {
        auto both = [](double x, double y) { return _mm_setr_pd(x, y); };
        denominator[0] = both(1.0, 1.0);
        for (int i = 0; i < 7; ++i) {
            numerator[i] = both(a.fitCoefficients[2 * i], b.fitCoefficients[2 * i]);
            denominator[i + 1] = both(a.fitCoefficients[2 * i + 1], b.fitCoefficients[2 * i + 1]);
        }
        fourM = both(4.0 * a.gridConductionFactor, 4.0 * b.gridConductionFactor);
        halfInverse = both(a.halfInverseGridFactor, b.halfInverseGridFactor);
        cutoff = both(a.cutoffPlateVoltage, b.cutoffPlateVoltage);
        // w = (Ck v rate + (cutoff - v - p) Gp + Ig) gain, expanded in v, p and the grid drop.
        auto fromCathodeOf = [rate](const TriodeStage67& t) {
            return t.cathodeGain * (t.cathodeCapacitance * rate - t.plateConductance);
        };
        auto fromSupplyOf = [](const TriodeStage67& t) {
            return t.cathodeGain * t.plateConductance * t.cutoffPlateVoltage;
        };
        fromCathode = both(fromCathodeOf(a), fromCathodeOf(b));
        fromSupply = both(fromSupplyOf(a), fromSupplyOf(b));
        minusFromFit = both(-(a.cathodeGain * a.plateConductance), -(b.cathodeGain * b.plateConductance));
        fromGridDrop = both(a.cathodeGain * a.gridConductance, b.cathodeGain * b.gridConductance);
        v = both(a.cathodeVoltage, b.cathodeVoltage);
    }
    ~FastTriodePair()
    {
        _mm_storel_pd(&first.cathodeVoltage, v);
        _mm_storeh_pd(&second.cathodeVoltage, v);
    }
    FastTriodePair(const FastTriodePair&) = delete;
    FastTriodePair& operator=(const FastTriodePair&) = delete;

    // One pipeline step. Checked steps (filling and draining) leave a lane whose sub-sample lies
    // outside the chunk as it is.
    template <bool checked>
    void step(double* buffer, int n, int count)
    {
        const int i0 = n - Delay0, i1 = n - Delay1;
        const bool ok0 = !checked || (i0 >= 0 && i0 < count);
        const bool ok1 = !checked || (i1 >= 0 && i1 < count);
        const Pair before = v;
        const Pair plate = run(_mm_setr_pd(ok0 ? buffer[i0] : 0.0, ok1 ? buffer[i1] : 0.0));
        if constexpr (checked) {
            const Pair keep = _mm_castsi128_pd(_mm_setr_epi32(ok0 ? 0 : -1, ok0 ? 0 : -1, ok1 ? 0 : -1, ok1 ? 0 : -1));
            v = pairSelect(keep, before, v);
        }
        if (ok0)
            _mm_storel_pd(buffer + i0, plate);
        if (ok1)
            _mm_storeh_pd(buffer + i1, plate);
    }

private:
    Pair run(Pair x)
    {
        const Pair zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0);
        // As FastTriode::operator(), lane by lane.
        const Pair u = _mm_sub_pd(x, v);
        Pair d = u;
        Pair gridDrop = zero;
        const Pair conducting = _mm_cmpgt_pd(u, zero);
        if (_mm_movemask_pd(conducting) != 0) {
            const Pair root = _mm_mul_pd(
                _mm_sub_pd(_mm_sqrt_pd(pairMadd(fourM, _mm_and_pd(conducting, u), one)), one), halfInverse);
            d = pairSelect(conducting, root, u);
            gridDrop = _mm_sub_pd(u, d);
        }
        const Pair fit = _mm_div_pd(pairEstrin(numerator, d), pairEstrin(denominator, d));
        const Pair p = pairSelect(_mm_cmplt_pd(d, _mm_set1_pd(-10.0)), cutoff, fit);
        const Pair plate = _mm_add_pd(v, p);
        const Pair w = pairMadd(minusFromFit, p, pairMadd(fromGridDrop, gridDrop, pairMadd(fromCathode, v, fromSupply)));
        v = _mm_max_pd(w, zero); // w > 0 ? w : 0, a NaN giving 0
        return plate;
    }

    TriodeStage67& first;
    TriodeStage67& second;
    Pair numerator[7];
    Pair denominator[8]; // 1 first: D(d) = 1 + c1 d + c3 d^2 + ...
    Pair fourM, halfInverse, cutoff;
    Pair fromCathode, fromSupply, minusFromFit, fromGridDrop;
    Pair v;
};
#else
// Without SSE2: the two stages one after the other.
template <int Delay0, int Delay1>
class FastTriodePair {
public:
    FastTriodePair(TriodeStage67& a, TriodeStage67& b, double rate) : first(a, rate), second(b, rate) {}

    template <bool checked>
    void step(double* buffer, int n, int count)
    {
        const int i0 = n - Delay0, i1 = n - Delay1;
        if (!checked || (i0 >= 0 && i0 < count))
            buffer[i0] = first(buffer[i0]);
        if (!checked || (i1 >= 0 && i1 < count))
            buffer[i1] = second(buffer[i1]);
    }

private:
    FastTriode<14> first;
    FastTriode<14> second;
};
#endif

// The coefficients stay as the exact chain has them, normalised after the sum: at high rates the
// 4th-order direct form is so sensitive to its coefficients that pre-scaling them by 1/a0 (one
// rounding each) moves the response by more than the output may differ.
class FastInputNetwork {
public:
    FastInputNetwork(InputNetworkFilter& f, double inputOffset) : filter(f), inverseA0(f.inverseA0), offset(inputOffset)
    {
        for (int i = 0; i < 10; ++i)
            c[i] = f.networkCoefficients[i];
        for (int i = 0; i < 4; ++i) {
            x[i] = f.inputHistory[i];
            y[i] = f.outputHistory[i];
        }
    }
    ~FastInputNetwork()
    {
        for (int i = 0; i < 4; ++i) {
            filter.inputHistory[i] = x[i];
            filter.outputHistory[i] = y[i];
        }
    }
    FastInputNetwork(const FastInputNetwork&) = delete;
    FastInputNetwork& operator=(const FastInputNetwork&) = delete;

    double operator()(double sample)
    {
        const double in = sample - offset;
        const double feedForward = madd(c[9], x[3], madd(c[8], x[2], madd(c[7], x[1], madd(c[6], x[0], c[5] * in))));
        const double older = madd(-c[4], y[3], madd(-c[3], y[2], madd(-c[2], y[1], feedForward)));
        const double out = madd(-c[1], y[0], older) * inverseA0;
        x[3] = x[2];
        x[2] = x[1];
        x[1] = x[0];
        x[0] = in;
        y[3] = y[2];
        y[2] = y[1];
        y[1] = y[0];
        y[0] = out;
        return out;
    }

private:
    InputNetworkFilter& filter;
    double inverseA0;
    double offset;
    double c[10];
    double x[4], y[4];
};

class FastToneStack {
public:
    explicit FastToneStack(ToneStackFilter& f) : filter(f)
    {
        for (int i = 0; i < 10; ++i)
            c[i] = f.runtimeCoefficients[i];
        for (int i = 0; i < 4; ++i)
            s[i] = f.filterState[i];
    }
    ~FastToneStack()
    {
        for (int i = 0; i < 4; ++i)
            filter.filterState[i] = s[i];
    }
    FastToneStack(const FastToneStack&) = delete;
    FastToneStack& operator=(const FastToneStack&) = delete;

    double operator()(double x)
    {
        const double y = madd(c[5], x, s[0]);
        s[0] = madd(-c[1], y, madd(c[6], x, s[1]));
        s[1] = madd(-c[2], y, madd(c[7], x, s[2]));
        s[2] = madd(-c[3], y, madd(c[8], x, s[3]));
        s[3] = madd(-c[4], y, c[9] * x); // the last state is always 0
        return y;
    }

private:
    ToneStackFilter& filter;
    double c[10];
    double s[4];
};

// The tone stack while its controls glide: each sub-sample takes its coefficients from the ramp,
// as the exact chain computes them, and runs the exact chain's order of operations.
class RampedToneStack {
public:
    RampedToneStack(ToneStackFilter& f, const ToneStackRamp& r, std::int64_t firstIndex)
        : filter(f), ramp(r), index(firstIndex)
    {
    }
    RampedToneStack(const RampedToneStack&) = delete;
    RampedToneStack& operator=(const RampedToneStack&) = delete;

    double operator()(double x)
    {
        const double t = static_cast<double>(++index) / static_cast<double>(ramp.subSamples);
        double c[10];
        for (int i = 0; i < 10; ++i)
            c[i] = ramp.from[i] + (ramp.to[i] - ramp.from[i]) * t;
        double* s = filter.filterState;
        const double y = c[5] * x + s[0];
        s[0] = c[6] * x + s[1] - c[1] * y;
        s[1] = c[7] * x + s[2] - c[2] * y;
        s[2] = c[8] * x + s[3] - c[3] * y;
        s[3] = c[9] * x + s[4] - c[4] * y;
        return y;
    }

private:
    ToneStackFilter& filter;
    const ToneStackRamp& ramp;
    std::int64_t index;
};

class FastBiquad {
public:
    explicit FastBiquad(BiquadSection& f)
        : filter(f), b0(f.g * f.b0), b1(f.g * f.b1), b2(f.g * f.b2), a1(f.g * f.a1), a2(f.g * f.a2), x1(f.x1),
          x2(f.x2), y1(f.y1), y2(f.y2)
    {
    }
    ~FastBiquad()
    {
        filter.x1 = x1;
        filter.x2 = x2;
        filter.y1 = y1;
        filter.y2 = y2;
    }
    FastBiquad(const FastBiquad&) = delete;
    FastBiquad& operator=(const FastBiquad&) = delete;

    double operator()(double x)
    {
        const double y = madd(-a1, y1, madd(-a2, y2, madd(b2, x2, madd(b1, x1, b0 * x))));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    BiquadSection& filter;
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

class FastShelf {
public:
    explicit FastShelf(ShelfSection& f)
        : filter(f), c1(f.g * f.c1), c2(f.g * f.c2), c3(f.g * f.c3), x1(f.x1), y1(f.y1)
    {
    }
    ~FastShelf()
    {
        filter.x1 = x1;
        filter.y1 = y1;
    }
    FastShelf(const FastShelf&) = delete;
    FastShelf& operator=(const FastShelf&) = delete;

    double operator()(double x)
    {
        const double y = madd(-c1, y1, madd(c3, x1, c2 * x));
        x1 = x;
        y1 = y;
        return y;
    }

private:
    ShelfSection& filter;
    double c1, c2, c3;
    double x1, y1;
};

// Low-pass, its input scaled first when Scaled.
template <bool Scaled>
class FastLowPass {
public:
    FastLowPass(OnePoleLowPass& f, double inputScale = 1.0)
        : filter(f), scale(inputScale), a(f.a), feedback(f.feedback), y(f.y)
    {
    }
    ~FastLowPass() { filter.y = y; }
    FastLowPass(const FastLowPass&) = delete;
    FastLowPass& operator=(const FastLowPass&) = delete;

    double operator()(double x)
    {
        y = madd(feedback, y, a * (Scaled ? scale * x : x));
        return y;
    }

private:
    OnePoleLowPass& filter;
    double scale, a, feedback, y;
};

// High-pass, its input scaled first when Scaled; its previous input is the scaled one.
template <bool Scaled>
class FastHighPass {
public:
    FastHighPass(OnePoleHighPass& f, double inputScale = 1.0) : filter(f), scale(inputScale), a(f.a), y(f.y), x1(f.x1)
    {
    }
    ~FastHighPass()
    {
        filter.y = y;
        filter.x1 = x1;
    }
    FastHighPass(const FastHighPass&) = delete;
    FastHighPass& operator=(const FastHighPass&) = delete;

    double operator()(double in)
    {
        const double x = Scaled ? scale * in : in;
        y = madd(a, y, (x - x1) * a);
        x1 = x;
        return y;
    }

private:
    OnePoleHighPass& filter;
    double scale, a, y, x1;
};

inline double fastSoftLimit(double s)
{
    if (!(s > 300.0))
        return s;
    const double e = fastmath::exp(2.0 * (0.018 * (s - 300.0)));
    return 300.0 + 55.0 * (e - 1.0) / (e + 1.0);
}

// The shaper's factor is 4k; times 4 is exact, so s * (4k) equals (s * k) * 4.
inline double fastShapeOutput(double s, double fourK)
{
    const double e = fastmath::exp(s * fourK);
    return 1.14 * (e - 1.0) / (e + 1.0);
}

// A stage of the pipeline and its place k in it: in step n it works on sub-sample n - k. A stage
// placed at -1 works on sub-samples of its own choosing (the triode pair).
template <int K, typename Stage>
struct Placed {
    static constexpr int delay = K;
    Stage& stage;
};

template <int K, typename Stage>
Placed<K, Stage> place(Stage& s)
{
    return {s};
}

// Step n applies each stage to buffer[n - k]: the stages of one step touch different sub-samples
// and do not wait for each other. The first and last steps fill and drain the pipeline. Stages
// are issued in the order given (the triodes first: their chains are the longest).
// Flattened: every stage inlined, so the stages' state can stay in registers across steps.
template <int Depth, typename... P>
[[gnu::flatten]] void runPipeline(double* buffer, int count, P... placed)
{
    auto step = [&]<bool checked>(int n) {
        auto apply = [&](auto p) {
            if constexpr (decltype(p)::delay < 0) {
                p.stage.template step<checked>(buffer, n, count); // works at delays of its own
            } else {
                const int i = n - decltype(p)::delay;
                if (!checked || (i >= 0 && i < count))
                    buffer[i] = p.stage(buffer[i]);
            }
        };
        (apply(placed), ...);
    };
    const int steps = count + Depth - 1;
    int n = 0;
    for (; n < Depth - 1; ++n)
        step.template operator()<true>(n);
    for (; n < count; ++n)
        step.template operator()<false>(n);
    for (; n < steps; ++n)
        step.template operator()<true>(n);
}

// The half-band filters: out = c (u - y) + x for each allpass section. The two chains are
// independent, so section 2k of chain 0 and section 2k + 1 of chain 1 share one SSE2 register
// (lane 0 and lane 1).
#if QUARVINE_FAST_SSE2
template <int Sections>
struct HalfBandState {
    static constexpr int kPairs = Sections / 2;
    explicit HalfBandState(PolyphaseHalfBand<Sections>& f) : filter(f)
    {
        for (int k = 0; k < kPairs; ++k) {
            c[k] = _mm_setr_pd(f.coefficient[2 * k], f.coefficient[2 * k + 1]);
            x[k] = _mm_setr_pd(f.previousInput[2 * k], f.previousInput[2 * k + 1]);
            y[k] = _mm_setr_pd(f.previousOutput[2 * k], f.previousOutput[2 * k + 1]);
        }
    }
    ~HalfBandState()
    {
        for (int k = 0; k < kPairs; ++k) {
            _mm_storel_pd(&filter.previousInput[2 * k], x[k]);
            _mm_storeh_pd(&filter.previousInput[2 * k + 1], x[k]);
            _mm_storel_pd(&filter.previousOutput[2 * k], y[k]);
            _mm_storeh_pd(&filter.previousOutput[2 * k + 1], y[k]);
        }
    }
    HalfBandState(const HalfBandState&) = delete;
    HalfBandState& operator=(const HalfBandState&) = delete;

    // Chain 0 in lane 0, chain 1 in lane 1.
    Pair run(Pair p)
    {
        for (int k = 0; k < kPairs; ++k) {
            const Pair out = pairMadd(_mm_sub_pd(p, y[k]), c[k], x[k]);
            x[k] = p;
            y[k] = out;
            p = out;
        }
        return p;
    }

    PolyphaseHalfBand<Sections>& filter;
    Pair c[kPairs], x[kPairs], y[kPairs];
};

// s1 (chain 0) and s2 (chain 1) of one input sample, stored in time order.
template <int Sections>
inline void upsampleInto(HalfBandState<Sections>& up, double x, double* out)
{
    _mm_storeu_pd(out, up.run(_mm_set1_pd(x)));
}

// Chain 0 takes the later sub-sample, chain 1 the earlier.
template <int Sections>
inline double downsampleFrom(HalfBandState<Sections>& down, double first, double second)
{
    const Pair p = down.run(_mm_setr_pd(second, first));
    return (_mm_cvtsd_f64(p) + _mm_cvtsd_f64(_mm_unpackhi_pd(p, p))) * 0.5;
}
#else
template <int Sections>
struct HalfBandState {
    explicit HalfBandState(PolyphaseHalfBand<Sections>& f) : filter(f)
    {
        for (int j = 0; j < Sections; ++j) {
            c[j] = f.coefficient[j];
            x[j] = f.previousInput[j];
            y[j] = f.previousOutput[j];
        }
    }
    ~HalfBandState()
    {
        for (int j = 0; j < Sections; ++j) {
            filter.previousInput[j] = x[j];
            filter.previousOutput[j] = y[j];
        }
    }
    HalfBandState(const HalfBandState&) = delete;
    HalfBandState& operator=(const HalfBandState&) = delete;

    void run(double& p0, double& p1)
    {
        for (int k = 0; k < Sections / 2; ++k) {
            const int j0 = 2 * k, j1 = 2 * k + 1;
            const double out0 = madd(p0 - y[j0], c[j0], x[j0]);
            const double out1 = madd(p1 - y[j1], c[j1], x[j1]);
            x[j0] = p0;
            y[j0] = out0;
            x[j1] = p1;
            y[j1] = out1;
            p0 = out0;
            p1 = out1;
        }
    }

    PolyphaseHalfBand<Sections>& filter;
    double c[Sections], x[Sections], y[Sections];
};

template <int Sections>
inline void upsampleInto(HalfBandState<Sections>& up, double x, double* out)
{
    double p0 = x, p1 = x;
    up.run(p0, p1);
    out[0] = p0;
    out[1] = p1;
}

template <int Sections>
inline double downsampleFrom(HalfBandState<Sections>& down, double first, double second)
{
    double p0 = second, p1 = first;
    down.run(p0, p1);
    return (p0 + p1) * 0.5;
}
#endif

// One further doubling of count sub-samples, from in to out (twice as many).
inline void expandOctave(OctaveHalfBand& filter, const double* in, double* out, int count)
{
    HalfBandState<OctaveHalfBand::kSections> up(filter);
    for (int i = 0; i < count; ++i)
        upsampleInto(up, in[i], out + 2 * i);
}

// count sub-samples back to half as many, from in to out.
inline void reduceOctave(OctaveHalfBand& filter, const double* in, double* out, int count)
{
    HalfBandState<OctaveHalfBand::kSections> down(filter);
    for (int i = 0; i < count / 2; ++i)
        out[i] = downsampleFrom(down, in[2 * i], in[2 * i + 1]);
}

// Stages 1 to 15 (triode 1 to the bleed shelf) over count sub-samples in place; the tone stack
// is the one given (fixed coefficients, or the glide's ramp).
template <typename ToneStack>
void runPipelineStages(CircuitModel& model, double* buffer, int count, ToneStack& toneStack)
{
    const double rate = model.internalRate;
    FastTriodePair<0, 3> triodes1And2(model.triode1, model.triode2, rate);
    FastInputNetwork inputNetwork(model.inputNetwork, model.inputNetworkOffset);
    FastLowPass<false> stageLowpass1(model.stageLowpass1);
    FastHighPass<false> couplingFilterA(model.couplingFilterA);
    FastLowPass<true> stageLowpass2(model.stageLowpass2, 0.68);
    FastHighPass<true> couplingFilterB(model.couplingFilterB, -1.8687);
    FastShelf shelfFilter(model.shelfFilter);
    FastLowPass<false> stageLowpass3(model.stageLowpass3);
    FastTriode<21> triode3(model.triode3, rate);
    auto softLimit = [](double s) { return fastSoftLimit(s); };
    FastHighPass<false> outputCouplingFilter(model.outputCouplingFilter);
    FastBiquad midBoostFilter(model.midBoostFilter);
    FastBiquad bleedShelfFilter(model.bleedShelfFilter);
    // Places 0 to 14 in chain order; the triodes (places 0, 3 and 9) are issued first, as their
    // dependency chains are the longest.
    runPipeline<15>(buffer, count, place<-1>(triodes1And2), place<9>(triode3), place<1>(inputNetwork),
                    place<2>(stageLowpass1), place<4>(couplingFilterA), place<5>(stageLowpass2),
                    place<6>(couplingFilterB), place<7>(shelfFilter), place<8>(stageLowpass3),
                    place<10>(softLimit), place<11>(outputCouplingFilter), place<12>(toneStack),
                    place<13>(midBoostFilter), place<14>(bleedShelfFilter));
}

// Stages 1 to 16 (triode 1 to the output shaper) over count sub-samples in place.
void runCircuit(CircuitModel& model, const ChainSettings& settings, double* buffer, int count, int shift)
{
    if (settings.toneStackRamp) {
        RampedToneStack toneStack(model.toneStack, *settings.toneStackRamp, settings.toneStackRampIndex);
        runPipelineStages(model, buffer, count, toneStack);
    } else {
        FastToneStack toneStack(model.toneStack);
        runPipelineStages(model, buffer, count, toneStack);
    }

    // The output shaper has no memory: one plain loop over the chunk, which the compiler
    // vectorises, keeps its exp and division out of the pipeline's steps. While Master glides,
    // each frame's sub-samples (1 << shift of them) take that frame's value.
    if (const double* masters = settings.masterPerFrame) {
        for (int i = 0; i < count; ++i)
            buffer[i] = fastShapeOutput(buffer[i], (0.0075 * masters[i >> shift]) * 4.0);
    } else {
        const double fourK = (0.0075 * settings.master) * 4.0;
        for (int i = 0; i < count; ++i)
            buffer[i] = fastShapeOutput(buffer[i], fourK);
    }
}

// 4x and 8x: the further doublings around the circuit, the rumble filter on its own pass.
template <int Factor>
void runOversampled(CircuitModel& model, const ChainSettings& settings, const double* doubled, double* result,
                    int frames)
{
    constexpr int shift = Factor == 4 ? 2 : 3;
    double buffer[kFastChunkSubSamples];
    double between[kFastChunkSubSamples / 2];
    if constexpr (Factor == 8) {
        expandOctave(model.upsampler4, doubled, between, 2 * frames);
        expandOctave(model.upsampler8, between, buffer, 4 * frames);
    } else {
        expandOctave(model.upsampler4, doubled, buffer, 2 * frames);
    }
    const int count = Factor * frames;
    runCircuit(model, settings, buffer, count, shift);
    {
        FastBiquad rumbleFilter(model.rumbleFilter);
        for (int i = 0; i < count; ++i)
            buffer[i] = rumbleFilter(buffer[i]);
    }
    if constexpr (Factor == 8) {
        reduceOctave(model.downsampler8, buffer, between, count);
        reduceOctave(model.downsampler4, between, buffer, count / 2);
    } else {
        reduceOctave(model.downsampler4, buffer, buffer, count);
    }
    HalfBandState<12> down(model.downsampler);
    for (int i = 0; i < frames; ++i)
        result[i] = downsampleFrom(down, buffer[2 * i], buffer[2 * i + 1]);
}

} // namespace

void runFastChain(CircuitModel& model, const ChainSettings& settings, const float* input, double* result,
                  int frames)
{
    double buffer[kFastChunkSubSamples];
    double* doubled = buffer; // at 4x and 8x, the input to the further doublings
    {
        HalfBandState<12> up(model.upsampler);
        for (int i = 0; i < frames; ++i) {
            double x = static_cast<double>(input[i]);
            if (!fastmath::isFinite(x))
                x = 0.0; // one bad sample must not poison the filter states for good
            upsampleInto(up, x, doubled + 2 * i);
        }
    }
    if (model.oversampling == 4)
        return runOversampled<4>(model, settings, doubled, result, frames);
    if (model.oversampling == 8)
        return runOversampled<8>(model, settings, doubled, result, frames);

    runCircuit(model, settings, buffer, 2 * frames, 1);
    FastBiquad rumbleFilter(model.rumbleFilter);
    HalfBandState<12> down(model.downsampler);
    for (int i = 0; i < frames; ++i) {
        const double first = rumbleFilter(buffer[2 * i]);
        const double second = rumbleFilter(buffer[2 * i + 1]);
        result[i] = downsampleFrom(down, first, second);
    }
}

} // namespace quarvine::QUARVINE_FAST_VARIANT
