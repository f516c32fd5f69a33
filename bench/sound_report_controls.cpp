// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_sections.h"
#include "sound_report_signal.h"
#include "sound_report_spectrum.h"

#include <algorithm>
#include <iomanip>
#include <ostream>

namespace soundreport {

namespace {

// A clean amp with a quiet low tone: any click or zipper stands out against it.
constexpr double kToneHz = 220.0;
constexpr double kToneDbfs = -20.0;
const Settings kClean = {{kMaster, 0.1f}, {kDrive, 0.0f}};

constexpr std::size_t kSettleBlocks = 86;  // 1 s
constexpr std::size_t kChangeFrame = kSettleBlocks * kBlock;
const auto kFiftyMs = static_cast<std::size_t>(0.05 * kRate);
const auto kSettledAt = static_cast<std::size_t>(0.45 * kRate);  // after the step

// One setParameter per block over 2 s; the analysis covers exactly 2 s (440 cycles of the tone,
// so a steady tone falls on its bins).
constexpr std::size_t kSweepBlocks = 172;
const auto kSweepFrames = static_cast<std::size_t>(2.0 * kRate);
constexpr float kSweepFrom = 0.2f, kSweepTo = 1.0f, kSweepMiddle = 0.6f;
// Inharmonic: more than this from every multiple of the tone. Per-block steps put sidebands at
// multiples of 86 Hz around each harmonic; a smooth glide keeps within a few hertz.
constexpr double kMarginHz = 20.0;
constexpr double kInharmonicFromHz = 2000.0, kInharmonicToHz = 20000.0;

struct Step {
    Knob knob;
    const char* name;
    float from, to;
};
const Step kSteps[] = {{kMaster, "Master", 0.1f, 0.6f}, {kDrive, "Drive", 0.0f, 0.5f},
                       {kTreble, "Treble", 0.5f, 1.0f}, {kMiddle, "Middle", 0.5f, 1.0f},
                       {kBass, "Bass", 0.5f, 1.0f},     {kVolume, "Volume", 1.0f, 0.3f}};

Settings cleanWith(Knob knob, float value)
{
    Settings settings = kClean;
    settings.emplace_back(knob, value);
    return settings;
}

StepRow measureStep(const AmpUnderTest& amp, const Step& step)
{
    const std::vector<float> input = sine(kToneHz, kToneDbfs, kChangeFrame + kSettledAt + kFiftyMs, kRate);
    const std::vector<float> output =
        amp.play(input, cleanWith(step.knob, step.from), [&](std::size_t block, vsthost::HostedPlugin& plugin) {
            if (block == kSettleBlocks)
                plugin.setParameter(step.knob, step.to);
        });
    const double before = largestJump(output, kChangeFrame - kFiftyMs, kChangeFrame);
    const double after = largestJump(output, kChangeFrame, kChangeFrame + kFiftyMs);
    const double settled = largestJump(output, kChangeFrame + kSettledAt, kChangeFrame + kSettledAt + kFiftyMs);
    return {step.name, step.from, step.to, after / before, settled / before};
}

double inharmonicDbc(const std::vector<float>& output)
{
    const PowerSpectrum spectrum(output, kChangeFrame, kSweepFrames, kRate, Window::SmoothNuttall);
    return toDb(inharmonicEnergy(spectrum, kToneHz, kMarginHz, kInharmonicFromHz, kInharmonicToHz) /
                spectrum.around(kToneHz, kHarmonicHalfWidth));
}

SweepRow measureSweep(const AmpUnderTest& amp, const Step& step)
{
    const std::vector<float> input = sine(kToneHz, kToneDbfs, kChangeFrame + kSweepFrames, kRate);
    const std::vector<float> swept =
        amp.play(input, cleanWith(step.knob, kSweepFrom), [&](std::size_t block, vsthost::HostedPlugin& plugin) {
            if (block < kSettleBlocks)
                return;
            const double done = std::min(1.0, static_cast<double>(block - kSettleBlocks) / kSweepBlocks);
            plugin.setParameter(step.knob, static_cast<float>(kSweepFrom + (kSweepTo - kSweepFrom) * done));
        });
    const std::vector<float> middle = amp.play(input, cleanWith(step.knob, kSweepMiddle));
    const std::vector<float> top = amp.play(input, cleanWith(step.knob, kSweepTo));
    return {step.name, inharmonicDbc(swept), inharmonicDbc(middle), inharmonicDbc(top)};
}

// What a perfect glide would score: the input tone itself, its level following the sweep's line
// sample by sample, against the tone held at the middle level. Shows the measure's own floor.
SweepRow idealGlide()
{
    std::vector<float> ramped = sine(kToneHz, kToneDbfs, kChangeFrame + kSweepFrames, kRate);
    std::vector<float> held = ramped;
    for (std::size_t n = 0; n < ramped.size(); ++n) {
        const double done =
            n < kChangeFrame ? 0.0 : std::min(1.0, static_cast<double>(n - kChangeFrame) / (kSweepBlocks * kBlock));
        ramped[n] = static_cast<float>(ramped[n] * (kSweepFrom + (kSweepTo - kSweepFrom) * done));
        held[n] *= kSweepMiddle;
    }
    return {"(ideal glide, computed)", inharmonicDbc(ramped), inharmonicDbc(held), inharmonicDbc(held)};
}

} // namespace

double StepRow::click() const
{
    return afterOverBefore / std::max(1.0, settledOverBefore);
}

ControlReport measureControls(const AmpUnderTest& amp)
{
    ControlReport report;
    for (const Step& step : kSteps) {
        report.steps.push_back(measureStep(amp, step));
        report.sweeps.push_back(measureSweep(amp, step));
    }
    report.idealGlide = idealGlide();
    return report;
}

void printControls(std::ostream& out, const ControlReport& report)
{
    out << "Control steps: clean setting (Drive 0, Master 0.1, others default), 220 Hz at -20 dBFS; one\n"
           "setParameter at a block boundary after 1 s. Largest sample-to-sample jump in the 50 ms after\n"
           "the step over the largest in the 50 ms before; 'settled' is the same 450 ms later (what the\n"
           "new setting gives by itself); 'click' is after over the larger of before and settled.\n\n"
           "| Knob | Step | After / before | Settled / before | Click |\n|---|---|---:|---:|---:|\n";
    out << std::fixed;
    for (const StepRow& row : report.steps)
        out << "| " << row.knob << " | " << std::setprecision(1) << row.from << " -> " << row.to << " | "
            << std::setprecision(2) << row.afterOverBefore << " | " << row.settledOverBefore << " | " << row.click()
            << " |\n";
    out << "\nControl sweeps: the same setting and tone; the knob goes 0.2 -> 1 over 2 s, one setParameter per\n"
           "512-frame block. Energy in 2..20 kHz farther than "
        << std::setprecision(0) << kMarginHz
        << " Hz from every multiple of 220 Hz, over the\n"
           "fundamental's (2 s, Nuttall window with continuous derivative, 0.5 Hz bins), while sweeping and\n"
           "with the knob held at 0.6 (the sweep's middle) or 1; 'sweep - held' is against 0.6.\n\n"
           "| Knob | Sweep (dBc) | Held at 0.6 (dBc) | Held at 1 (dBc) | Sweep - held (dB) |\n"
           "|---|---:|---:|---:|---:|\n";
    auto printSweep = [&out](const SweepRow& row) {
        out << "| " << row.knob << " | " << std::setprecision(1) << row.sweepDbc << " | " << row.steadyDbc << " | "
            << row.topDbc << " | " << std::showpos << row.sweepDbc - row.steadyDbc << std::noshowpos << " |\n";
    };
    for (const SweepRow& row : report.sweeps)
        printSweep(row);
    printSweep(report.idealGlide);
    out << std::defaultfloat;
}

} // namespace soundreport
