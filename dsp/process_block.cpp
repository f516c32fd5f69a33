// The exact per-sample chain: upsample, 17 stages on both sub-samples in time order, downsample,
// Volume; every operation in its stated order. The fast chain is tested against it.
#include "dsp/circuit_model.h"
#include "dsp/denormal_guard.h"

#include <cmath>

namespace quarvine {

double softLimit(double s)
{
    if (!(s > 300.0))
        return s;
    const double e = std::exp(2.0 * (0.018 * (s - 300.0)));
    const double r = 300.0 + 55.0 * (e - 1.0) / (e + 1.0);
    // Where exp (or 55*e) overflows, tanh has long since reached 1.
    return std::isfinite(r) ? r : 355.0;
}

double shapeOutput(double s, double masterLevel)
{
    const double k = 0.0075 * masterLevel;
    const double e = std::exp(s * k * 4.0);
    const double r = 1.14 * (e - 1.0) / (e + 1.0);
    if (std::isfinite(r) || std::isnan(e))
        return r;
    return 1.14; // exp overflowed: only large positive arguments get here
}

namespace {

struct Pair {
    double a;
    double b;
};

// One stage with memory: the earlier sub-sample first, so its history sees them in time order.
template <typename Step>
inline Pair both(Pair p, Step step)
{
    const double first = step(p.a);
    const double second = step(p.b);
    return {first, second};
}

inline double runChain(CircuitModel& m, const AmpControls& controls, double x, double masterLevel)
{
    const double rate = m.internalRate;
    const SubSamples up = upsample(m.upsampler, x);
    Pair p{up.first, up.second};
    p = both(p, [&](double s) { return runTriodeStage(m.triode1, s, rate); });
    p = both(p, [&](double s) {
        return runInputNetwork(m.inputNetwork, AmpControls::load(controls.driveLevel), s);
    });
    p = both(p, [&](double s) { return runLowPass(m.stageLowpass1, s); });
    p = both(p, [&](double s) { return runTriodeStage(m.triode2, s, rate); });
    p = both(p, [&](double s) { return runHighPass(m.couplingFilterA, s); });
    p = both(p, [&](double s) { return runLowPass(m.stageLowpass2, 0.68 * s); });
    p = both(p, [&](double s) { return runHighPass(m.couplingFilterB, s * -1.8687); });
    p = both(p, [&](double s) { return runShelf(m.shelfFilter, s); });
    p = both(p, [&](double s) { return runLowPass(m.stageLowpass3, s); });
    p = both(p, [&](double s) { return runTriodeStage(m.triode3, s, rate); });
    p = {softLimit(p.a), softLimit(p.b)};
    p = both(p, [&](double s) { return runHighPass(m.outputCouplingFilter, s); });
    p = both(p, [&](double s) {
        return runToneStack(m.toneStack, AmpControls::load(controls.bassLevel),
                            AmpControls::load(controls.middleSetting), AmpControls::load(controls.trebleSetting),
                            AmpControls::load(controls.fixedToneSetting), s);
    });
    p = both(p, [&](double s) { return runBiquad(m.midBoostFilter, s); });
    p = both(p, [&](double s) { return runBiquad(m.bleedShelfFilter, s); });
    p = {shapeOutput(p.a, masterLevel), shapeOutput(p.b, masterLevel)};
    p = both(p, [&](double s) { return runBiquad(m.rumbleFilter, s); });
    return downsample(m.downsampler, p.a, p.b);
}

} // namespace

void followHostRate(CircuitModel& model, const AmpControls& controls)
{
    const double rate = AmpControls::load(controls.sampleRate);
    // A rate that is no rate leaves the model as it is.
    if (rate != model.builtForSampleRate && std::isfinite(rate) && rate > 0.0)
        buildCircuitModel(model, rate);
}

double processSampleExact(CircuitModel& model, const AmpControls& controls, double x)
{
    return runChain(model, controls, x, AmpControls::load(controls.masterLevel));
}

void processFramesExact(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                        int frames, ProcessMode mode)
{
    for (int i = 0; i < frames; ++i) {
        double x = static_cast<double>(input[i]);
        // One bad sample must not poison the filter states for good.
        if (!std::isfinite(x))
            x = 0.0;
        double d = processSampleExact(model, controls, x);
        if (!std::isfinite(d)) {
            buildCircuitModel(model, model.builtForSampleRate); // back to the bias point
            d = 0.0;
        }
        double y = d * AmpControls::load(controls.outputVolume);
        if (!std::isfinite(y))
            y = 0.0;
        if (mode == ProcessMode::replace)
            output[i] = static_cast<float>(y);
        else
            output[i] = static_cast<float>(y) + output[i];
    }
}

void processBlockExact(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                       int frames, ProcessMode mode)
{
    if (frames <= 0)
        return;
    DenormalGuard guard;
    followHostRate(model, controls);
    processFramesExact(model, controls, input, output, frames, mode);
}

} // namespace quarvine
