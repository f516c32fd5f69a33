// SPDX-License-Identifier: GPL-3.0-or-later
// The report's three measurements, each with its table: aliasing and distortion of steady tones,
// clicks and zipper noise from knob steps and sweeps, and the oversampling switch while playing.
#pragma once

#include "sound_report_amp.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace soundreport {

inline constexpr double kAliasingTonesHz[] = {997.0, 1999.0, 3001.0, 4999.0, 7993.0};
inline constexpr double kAliasingToneDbfs = -6.0;

struct NamedSetting {
    const char* name;
    Settings settings;
};

// The settings aliasing is measured at: the defaults, and Drive and Master full up.
const std::vector<NamedSetting>& aliasingSettings();

struct AliasingRow {
    std::string setting;
    int factor = 2;
    std::vector<double> dbc;  // one per kAliasingTonesHz
    double thdPercent = 0.0;  // at the first tone
};

std::vector<AliasingRow> measureAliasing(const AmpUnderTest& amp);
void printAliasing(std::ostream& out, const std::vector<AliasingRow>& rows);
// setting,oversampling,frequency_hz,aliasing_dbc; false when the file cannot be written.
bool writeAliasingCsv(const std::string& path, const std::vector<AliasingRow>& rows);

// Which nonlinearity makes the aliasing: a copy of the exact chain built here from dsp's stages, in
// which chosen nonlinear stages run alias-free (at idealFactor times the host rate, between guard
// low-passes that keep everything near the chain's Nyquist frequency from being imaged or folded),
// the rest as shipped. Measured as measureAliasing does, at its settings, tones and factors. Takes
// about 9 minutes at 128x.
inline constexpr int kNonlinearStages = 5;
inline constexpr const char* kNonlinearStageNames[kNonlinearStages] = {"triode 1", "triode 2", "triode 3",
                                                                      "soft limiter", "output shaper"};
inline constexpr unsigned kAllStages = (1u << kNonlinearStages) - 1;

struct StageRow {
    std::string setting;
    int factor = 2;
    unsigned idealStages = 0;  // bit k: kNonlinearStageNames[k] runs alias-free
    std::vector<double> dbc;   // one per kAliasingTonesHz
    double thdPercent = 0.0;   // at the first tone
};

struct StageReport {
    int idealFactor = 0;
    // Largest difference between this copy with no stage made ideal and dsp's exact chain (997 Hz,
    // defaults, each factor): 0 when the copy is the chain.
    double differenceFromExact = 0.0;
    std::vector<StageRow> rows;  // per setting and factor: none, each one, all, all but each one
};

StageReport measureStages(int idealFactor);
void printStages(std::ostream& out, const StageReport& report);

struct StepRow {
    std::string knob;
    float from = 0.0f, to = 0.0f;
    double afterOverBefore = 0.0;    // largest jump, 50 ms after the step / 50 ms before
    double settledOverBefore = 0.0;  // the same 450 ms later: what the new setting alone gives
    // After over the larger steady one: above 1 only for a jump neither setting makes by itself.
    double click() const;
};

struct SweepRow {
    std::string knob;
    double sweepDbc = 0.0;   // inharmonic energy above 2 kHz over the fundamental's, while sweeping
    double steadyDbc = 0.0;  // the same with the knob held at the sweep's middle, 0.6
    double topDbc = 0.0;     // held at the sweep's end, 1
};

struct ControlReport {
    std::vector<StepRow> steps;
    std::vector<SweepRow> sweeps;
    SweepRow idealGlide;  // computed, not played: the tone's level ramped 0.2 -> 1 sample by sample
};

ControlReport measureControls(const AmpUnderTest& amp);
void printControls(std::ostream& out, const ControlReport& report);

struct SwitchRow {
    int from = 2, to = 8;
    double jumpRatio = 0.0;  // largest jump in the 100 ms after / in the steady 50 ms before
    double quietMs = 0.0;    // longest stretch below -40 dB of the steady peak
};

struct SwitchReport {
    std::vector<SwitchRow> rows;
    std::size_t nonFinite = 0;
};

// Empty rows for a module without the oversampling parameter.
SwitchReport measureSwitch(const AmpUnderTest& amp);
void printSwitch(std::ostream& out, const AmpUnderTest& amp, const SwitchReport& report);

} // namespace soundreport
