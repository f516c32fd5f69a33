// SPDX-License-Identifier: GPL-3.0-or-later
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

// The sub-samples of one host sample, in time order.
struct SubSampleBlock {
    double s[8];
    int count;
};

// One stage with memory over every sub-sample, in time order, so its history sees them in order.
template <typename Step>
inline void each(SubSampleBlock& b, Step step)
{
    for (int i = 0; i < b.count; ++i)
        b.s[i] = step(b.s[i]);
}

template <int Sections>
inline void expand(PolyphaseHalfBand<Sections>& f, SubSampleBlock& b)
{
    double doubled[8];
    for (int i = 0; i < b.count; ++i) {
        const SubSamples up = upsample(f, b.s[i]);
        doubled[2 * i] = up.first;
        doubled[2 * i + 1] = up.second;
    }
    b.count *= 2;
    for (int i = 0; i < b.count; ++i)
        b.s[i] = doubled[i];
}

template <int Sections>
inline void reduce(PolyphaseHalfBand<Sections>& f, SubSampleBlock& b)
{
    b.count /= 2;
    for (int i = 0; i < b.count; ++i)
        b.s[i] = downsample(f, b.s[2 * i], b.s[2 * i + 1]);
}

// The networks run with net's Drive and tone controls (or, when ramped, the tone stack with the
// glide's coefficient ramp), the output shaper with master.
inline double runChain(CircuitModel& m, const ControlValues& net, double master, double x, bool ramped)
{
    const double rate = m.internalRate;
    const SubSamples up = upsample(m.upsampler, x);
    SubSampleBlock p{{up.first, up.second}, 2};
    if (m.oversampling >= 4)
        expand(m.upsampler4, p);
    if (m.oversampling >= 8)
        expand(m.upsampler8, p);
    each(p, [&](double s) { return runTriodeStage(m.triode1, s, rate); });
    each(p, [&](double s) { return runInputNetwork(m.inputNetwork, net.drive, s - m.inputNetworkOffset); });
    each(p, [&](double s) { return runLowPass(m.stageLowpass1, s); });
    each(p, [&](double s) { return runTriodeStage(m.triode2, s, rate); });
    each(p, [&](double s) { return runHighPass(m.couplingFilterA, s); });
    each(p, [&](double s) { return runLowPass(m.stageLowpass2, 0.68 * s); });
    each(p, [&](double s) { return runHighPass(m.couplingFilterB, s * -1.8687); });
    each(p, [&](double s) { return runShelf(m.shelfFilter, s); });
    each(p, [&](double s) { return runLowPass(m.stageLowpass3, s); });
    each(p, [&](double s) { return runTriodeStage(m.triode3, s, rate); });
    each(p, [&](double s) { return softLimit(s); });
    each(p, [&](double s) { return runHighPass(m.outputCouplingFilter, s); });
    if (const ToneStackRamp& ramp = m.toneStackRamp; ramped && ramp.subSamples != 0) {
        std::int64_t index = (m.glide.position - ramp.segmentStart) * m.oversampling;
        each(p, [&](double s) {
            double c[10];
            toneStackRampAt(ramp, index++, c);
            return runToneStackWith(m.toneStack, c, s);
        });
    } else {
        each(p, [&](double s) {
            return runToneStack(m.toneStack, net.bass, net.middle, net.treble, net.fixedTone, s);
        });
    }
    each(p, [&](double s) { return runBiquad(m.midBoostFilter, s); });
    each(p, [&](double s) { return runBiquad(m.bleedShelfFilter, s); });
    each(p, [&](double s) { return shapeOutput(s, master); });
    each(p, [&](double s) { return runBiquad(m.rumbleFilter, s); });
    if (m.oversampling >= 8)
        reduce(m.downsampler8, p);
    if (m.oversampling >= 4)
        reduce(m.downsampler4, p);
    return downsample(m.downsampler, p.s[0], p.s[1]);
}

} // namespace

void followHostRate(CircuitModel& model, const AmpControls& controls)
{
    const double rate = AmpControls::load(controls.sampleRate);
    // A rate that is no rate leaves the model as it is.
    if (rate != model.builtForSampleRate && std::isfinite(rate) && rate > 0.0)
        buildCircuitModel(model, rate, requestedOversampling(controls, rate));
}

double processSampleExact(CircuitModel& model, const AmpControls& controls, double x)
{
    const ControlValues now = targetsOf(controls);
    return runChain(model, now, now.master, x, false);
}

void processFramesExact(CircuitModel& model, const AmpControls& controls, const float* input, float* output,
                        int frames, ProcessMode mode)
{
    for (int i = 0; i < frames; ++i) {
        double x = static_cast<double>(input[i]);
        // One bad sample must not poison the filter states for good.
        if (!std::isfinite(x))
            x = 0.0;
        beginFrames(model, controls);
        const ControlValues now = frameValues(model.glide);
        const double gain = now.volume * switchGain(model.oversamplingSwitch, model.oversamplingSwitch.position);
        double d = runChain(model, networkValues(model.glide), now.master, x, true);
        if (!std::isfinite(d)) {
            rebuildCircuitModel(model); // back to the bias point
            d = 0.0;
        }
        endFrames(model, controls, 1);
        const double y = outputSample(d * gain);
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
