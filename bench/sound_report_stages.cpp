// SPDX-License-Identifier: GPL-3.0-or-later
// Aliasing by stage. The chain is a cascade: each stage feeds only the next. So the exact chain can
// be rebuilt here sub-sample by sub-sample from dsp's own stage functions (bit for bit the same, as
// measureStages checks), and any of its five nonlinear stages wrapped to run at a far higher rate.
#include "sound_report_sections.h"
#include "sound_report_signal.h"
#include "sound_report_spectrum.h"

#include "dsp/circuit_model.h"
#include "dsp/half_band_design.h"
#include "effect/amp_core.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <ostream>

namespace soundreport {

namespace {

using quarvine::PolyphaseHalfBand;

const auto kSecond = static_cast<std::size_t>(kRate);

// The sub-samples of one sample at a lower rate, in time order, doubled and halved in place.
struct SubSamples {
    std::vector<double> s, scratch;
    std::size_t count = 0;

    explicit SubSamples(std::size_t most) : s(most), scratch(most) {}

    template <int Sections>
    void expand(PolyphaseHalfBand<Sections>& f)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const quarvine::SubSamples up = quarvine::upsample(f, s[i]);
            scratch[2 * i] = up.first;
            scratch[2 * i + 1] = up.second;
        }
        count *= 2;
        s.swap(scratch);
    }

    template <int Sections>
    void reduce(PolyphaseHalfBand<Sections>& f)
    {
        count /= 2;
        for (std::size_t i = 0; i < count; ++i)
            s[i] = quarvine::downsample(f, s[2 * i], s[2 * i + 1]);
    }
};

// Linear-phase low-pass at the chain's rate, flat (within 4e-8) to 0.40 of that rate and 148 dB down
// from 0.45 (201 taps, Kaiser window): it keeps the stage's input and output out of the half-band
// filters' transition, 0.45 to 0.55 of the chain's rate, where they would image or fold the part
// of the stage's harmonics that lies close to the chain's Nyquist frequency.
class GuardLowPass {
public:
    GuardLowPass() : history(2 * kTaps, 0.0)
    {
        constexpr double pi = 3.14159265358979323846, cutoff = 0.425, beta = 0.1102 * (150.0 - 8.7);
        double sum = 0.0;
        for (int i = 0; i < kTaps; ++i) {
            const double n = i - (kTaps - 1) / 2.0, r = n / ((kTaps - 1) / 2.0);
            const double sinc = n == 0.0 ? 1.0 : std::sin(2.0 * pi * cutoff * n) / (2.0 * pi * cutoff * n);
            taps[i] = sinc * std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - r * r));
            sum += taps[i];
        }
        for (double& tap : taps)
            tap /= sum;
    }

    double run(double x)
    {
        // Each input stored twice, so that the last kTaps inputs always lie in one run.
        position = (position + 1) % kTaps;
        history[position] = history[position + kTaps] = x;
        double y = 0.0;
        for (int i = 0; i < kTaps; ++i)
            y += taps[i] * history[position + kTaps - i];
        return y;
    }

private:
    static constexpr int kTaps = 201;
    double taps[kTaps];
    std::vector<double> history;
    int position = 0;
};

// A stage run at 2^doublings times the chain's rate: its input band-limited by the guard low-pass
// and doubled to the high rate by half-band filters, its output filtered back down the same way.
// The first doubling stops by 160 dB what would image or fold into the guard's band (transition
// 0.05 of its higher rate, 12 sections); the further ones pass everything below the chain's rate
// and stop by 171 dB (transition 0.25, 6 sections). Both are flat within 1e-14.
class Oversampled {
public:
    explicit Oversampled(int doublings)
        : up(static_cast<std::size_t>(doublings - 1)), down(up.size()), sub(std::size_t{1} << doublings)
    {
        double first[12], further[6];
        quarvine::designHalfBand(0.05, 12, first);
        quarvine::designHalfBand(0.25, 6, further);
        quarvine::initHalfBand(up1, first);
        quarvine::initHalfBand(down1, first);
        for (std::size_t i = 0; i < up.size(); ++i) {
            quarvine::initHalfBand(up[i], further);
            quarvine::initHalfBand(down[i], further);
        }
    }

    template <typename Stage>
    double run(double x, Stage stage)
    {
        sub.s[0] = guardIn.run(x);
        sub.count = 1;
        sub.expand(up1);
        for (auto& f : up)
            sub.expand(f);
        for (std::size_t i = 0; i < sub.count; ++i)
            sub.s[i] = stage(sub.s[i]);
        for (auto f = down.rbegin(); f != down.rend(); ++f)
            sub.reduce(*f);
        sub.reduce(down1);
        return guardOut.run(sub.s[0]);
    }

private:
    GuardLowPass guardIn, guardOut;
    PolyphaseHalfBand<12> up1, down1;
    std::vector<PolyphaseHalfBand<6>> up, down;
    SubSamples sub;
};

// The exact chain with the controls held (dsp's processSampleExact), its nonlinear stages numbered
// as kNonlinearStageNames; those in `ideal` run at idealFactor times the host rate.
class ResearchChain {
public:
    ResearchChain(const quarvine::ControlValues& values, int oversampling, unsigned ideal, int idealFactor)
        : controls(values), idealStages(ideal), sub(8)
    {
        quarvine::buildCircuitModel(model, kRate, oversampling);
        // Only its triodes are used: they run from the same bias point at the high rate.
        quarvine::buildCircuitModel(highRate, kRate, idealFactor);
        for (int k = 0; k < kNonlinearStages; ++k)
            around.emplace_back(std::countr_zero(static_cast<unsigned>(idealFactor / oversampling)));
    }

    double process(double x)
    {
        quarvine::CircuitModel& m = model;
        const quarvine::SubSamples up = quarvine::upsample(m.upsampler, x);
        sub.s[0] = up.first;
        sub.s[1] = up.second;
        sub.count = 2;
        if (m.oversampling >= 4)
            sub.expand(m.upsampler4);
        if (m.oversampling >= 8)
            sub.expand(m.upsampler8);
        for (std::size_t i = 0; i < sub.count; ++i)
            sub.s[i] = subSample(sub.s[i]);
        if (m.oversampling >= 8)
            sub.reduce(m.downsampler8);
        if (m.oversampling >= 4)
            sub.reduce(m.downsampler4);
        return quarvine::downsample(m.downsampler, sub.s[0], sub.s[1]);
    }

private:
    // dsp/process_block.cpp's runChain, stage by stage, for one sub-sample.
    double subSample(double s)
    {
        using namespace quarvine;
        CircuitModel& m = model;
        const ControlValues& c = controls;
        s = stage(0, s);
        s = runInputNetwork(m.inputNetwork, c.drive, s - m.inputNetworkOffset);
        s = runLowPass(m.stageLowpass1, s);
        s = stage(1, s);
        s = runHighPass(m.couplingFilterA, s);
        s = runLowPass(m.stageLowpass2, 0.68 * s);
        s = runHighPass(m.couplingFilterB, s * -1.8687);
        s = runShelf(m.shelfFilter, s);
        s = runLowPass(m.stageLowpass3, s);
        s = stage(2, s);
        s = stage(3, s);
        s = runHighPass(m.outputCouplingFilter, s);
        s = runToneStack(m.toneStack, c.bass, c.middle, c.treble, c.fixedTone, s);
        s = runBiquad(m.midBoostFilter, s);
        s = runBiquad(m.bleedShelfFilter, s);
        s = stage(4, s);
        return runBiquad(m.rumbleFilter, s);
    }

    double stage(int k, double s)
    {
        if (!(idealStages & (1u << k)))
            return nonlinear(k, model, s);
        return around[static_cast<std::size_t>(k)].run(s, [&](double u) { return nonlinear(k, highRate, u); });
    }

    double nonlinear(int k, quarvine::CircuitModel& m, double s) const
    {
        switch (k) {
        case 0: return quarvine::runTriodeStage(m.triode1, s, m.internalRate);
        case 1: return quarvine::runTriodeStage(m.triode2, s, m.internalRate);
        case 2: return quarvine::runTriodeStage(m.triode3, s, m.internalRate);
        case 3: return quarvine::softLimit(s);
        default: return quarvine::shapeOutput(s, controls.master);
        }
    }

    quarvine::ControlValues controls;
    unsigned idealStages;
    quarvine::CircuitModel model;     // as shipped, at the chosen oversampling
    quarvine::CircuitModel highRate;  // the ideal triodes' states and rate
    std::vector<Oversampled> around;  // per stage
    SubSamples sub;
};

// The model's controls for a setting, as the effect derives them from its parameters.
void apply(quarvine::AmpCore& core, const Settings& settings)
{
    for (auto [index, value] : settings)
        core.setParameter(index, value);
    core.applyParameters();
}

std::vector<float> play(ResearchChain& chain, const std::vector<float>& input, double volume)
{
    std::vector<float> output(input.size());
    for (std::size_t n = 0; n < input.size(); ++n)
        output[n] = static_cast<float>(chain.process(static_cast<double>(input[n])) * volume);
    return output;
}

std::string idealLabel(unsigned ideal)
{
    if (ideal == 0)
        return "none (as shipped)";
    if (ideal == kAllStages)
        return "all";
    for (int k = 0; k < kNonlinearStages; ++k) {
        if (ideal == (1u << k))
            return kNonlinearStageNames[k];
        if (ideal == (kAllStages & ~(1u << k)))
            return std::string("all but ") + kNonlinearStageNames[k];
    }
    return "?";
}

} // namespace

StageReport measureStages(int idealFactor)
{
    StageReport report;
    report.idealFactor = idealFactor;

    // The copy against dsp's exact chain, nothing made ideal.
    const std::vector<float> probe = sine(kAliasingTonesHz[0], kAliasingToneDbfs, kSecond / 4, kRate);
    for (const NamedSetting& setting : aliasingSettings()) {
        quarvine::AmpCore core;
        apply(core, setting.settings);
        for (int factor : {2, 4, 8}) {
            ResearchChain copy(quarvine::targetsOf(core.controls()), factor, 0, idealFactor);
            quarvine::CircuitModel exact;
            quarvine::buildCircuitModel(exact, kRate, factor);
            for (float x : probe) {
                const double y = quarvine::processSampleExact(exact, core.controls(), x);
                report.differenceFromExact = std::max(report.differenceFromExact, std::fabs(copy.process(x) - y));
            }
        }
    }

    std::vector<unsigned> choices = {0};
    for (int k = 0; k < kNonlinearStages; ++k)
        choices.push_back(1u << k);
    choices.push_back(kAllStages);
    for (int k = 0; k < kNonlinearStages; ++k)
        choices.push_back(kAllStages & ~(1u << k));

    for (const NamedSetting& setting : aliasingSettings()) {
        quarvine::AmpCore core;
        apply(core, setting.settings);
        const quarvine::ControlValues values = quarvine::targetsOf(core.controls());
        for (int factor : {2, 4, 8}) {
            std::cerr << "stages: " << setting.name << ", " << factor << "x\n";
            for (unsigned ideal : choices) {
                StageRow row{setting.name, factor, ideal, {}, 0.0};
                for (double hz : kAliasingTonesHz) {
                    ResearchChain chain(values, factor, ideal, idealFactor);
                    const std::vector<float> output =
                        play(chain, sine(hz, kAliasingToneDbfs, 2 * kSecond, kRate), values.volume);
                    const ToneAnalysis tone = analyseTone(PowerSpectrum(output, kSecond, kSecond, kRate), hz);
                    row.dbc.push_back(tone.aliasingDbc());
                    if (hz == kAliasingTonesHz[0])
                        row.thdPercent = tone.thdPercent();
                }
                report.rows.push_back(row);
            }
        }
    }
    return report;
}

void printStages(std::ostream& out, const StageReport& report)
{
    out << "Aliasing by stage: the exact chain rebuilt from dsp's stages (largest difference from dsp's own\n"
           "exact chain with nothing made alias-free: "
        << report.differenceFromExact << "). The stages named run alias-free, at " << report.idealFactor
        << "x the host rate between guard low-passes\n(flat to 0.40 of the chain's rate, -148 dB from 0.45); "
           "the rest as shipped. Measured as above (dBc).\n\n";
    const auto table = [&](auto wanted) {
        out << "| Setting | Oversampling | Alias-free stages |";
        for (double hz : kAliasingTonesHz)
            out << " " << std::lround(hz) << " Hz |";
        out << " THD @997 |\n|---|---|---|";
        for (std::size_t i = 0; i <= std::size(kAliasingTonesHz); ++i)
            out << "---:|";
        out << "\n";
        for (const StageRow& row : report.rows) {
            if (!wanted(row.idealStages))
                continue;
            out << "| " << row.setting << " | " << row.factor << "x | " << idealLabel(row.idealStages) << " |";
            for (double dbc : row.dbc)
                out << " " << std::fixed << std::setprecision(1) << dbc << " |";
            out << " " << std::setprecision(1) << row.thdPercent << " % |\n";
            out << std::defaultfloat;
        }
    };
    // First what each stage makes on its own (the others alias-free), then what making one stage
    // alias-free takes off the chain as shipped.
    table([](unsigned ideal) { return std::popcount(ideal) != 1; });
    out << "\n";
    table([](unsigned ideal) { return std::popcount(ideal) == 1; });
}

} // namespace soundreport
