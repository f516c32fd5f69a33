// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_sections.h"
#include "sound_report_signal.h"

#include <iomanip>
#include <ostream>

namespace soundreport {

namespace {

constexpr double kToneHz = 220.0;
constexpr double kToneDbfs = -20.0;

struct Switch {
    std::size_t block;  // set before this block
    int to;
};
// 2x from the start; 8x after 1 s, 4x half a second later, 1 s more to play out.
constexpr int kStartFactor = 2;
const Switch kSwitches[] = {{86, 8}, {129, 4}};
constexpr std::size_t kTotalBlocks = 215;

} // namespace

SwitchReport measureSwitch(const AmpUnderTest& amp)
{
    SwitchReport report;
    if (!amp.hasOversampling())
        return report;
    const Settings clean = {{kMaster, 0.1f}, {kDrive, 0.0f}, {kOversampling, oversamplingValue(kStartFactor)}};
    const std::vector<float> output =
        amp.play(sine(kToneHz, kToneDbfs, kTotalBlocks * kBlock, kRate), clean,
                 [](std::size_t block, vsthost::HostedPlugin& plugin) {
                     for (const Switch& s : kSwitches)
                         if (block == s.block)
                             plugin.setParameter(kOversampling, oversamplingValue(s.to));
                 });
    report.nonFinite = countNonFinite(output);
    const auto steady = static_cast<std::size_t>(0.05 * kRate);
    const auto after = static_cast<std::size_t>(0.1 * kRate);
    int from = kStartFactor;
    for (const Switch& s : kSwitches) {
        const std::size_t at = s.block * kBlock;
        const double threshold = 0.01 * peak(output, at - steady, at);
        const std::size_t quiet = longestRunBelow(output, at, at + after, threshold);
        report.rows.push_back({from, s.to, largestJump(output, at, at + after) / largestJump(output, at - steady, at),
                               1000.0 * static_cast<double>(quiet) / kRate});
        from = s.to;
    }
    return report;
}

void printSwitch(std::ostream& out, const AmpUnderTest& amp, const SwitchReport& report)
{
    out << "Oversampling switched while a 220 Hz tone at -20 dBFS plays (clean setting): largest jump in the\n"
           "100 ms after the switch over the largest in the steady 50 ms before; the longest stretch in those\n"
           "100 ms below -40 dB of the steady peak.\n\n";
    if (!amp.hasOversampling()) {
        out << "(not measured: the module has " << amp.parameterCount() << " parameters, no oversampling switch)\n";
        return;
    }
    out << "| Switch | Jump after / before | Below -40 dB for |\n|---|---:|---:|\n" << std::fixed;
    for (const SwitchRow& row : report.rows)
        out << "| " << row.from << "x -> " << row.to << "x | " << std::setprecision(2) << row.jumpRatio << " | "
            << std::setprecision(1) << row.quietMs << " ms |\n";
    out << std::defaultfloat << "\nNon-finite output samples: " << report.nonFinite << "\n";
}

} // namespace soundreport
