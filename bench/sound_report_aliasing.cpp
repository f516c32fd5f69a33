// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_report_sections.h"
#include "sound_report_signal.h"
#include "sound_report_spectrum.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <ostream>

namespace soundreport {

namespace {

const auto kSecond = static_cast<std::size_t>(kRate);

} // namespace

const std::vector<NamedSetting>& aliasingSettings()
{
    static const std::vector<NamedSetting> settings = {{"defaults", {}},
                                                       {"Drive 1, Master 1", {{kDrive, 1.0f}, {kMaster, 1.0f}}}};
    return settings;
}

std::vector<AliasingRow> measureAliasing(const AmpUnderTest& amp)
{
    std::vector<AliasingRow> rows;
    for (const NamedSetting& setting : aliasingSettings()) {
        for (int factor : {2, 4, 8}) {
            if (factor != 2 && !amp.hasOversampling())
                continue;
            Settings chosen = setting.settings;
            chosen.emplace_back(kOversampling, oversamplingValue(factor));
            AliasingRow row{setting.name, factor, {}, 0.0};
            for (double hz : kAliasingTonesHz) {
                // One second to settle, then one second analysed: whole cycles of every tone, so
                // every harmonic and every alias falls on a bin.
                const std::vector<float> output = amp.play(sine(hz, kAliasingToneDbfs, 2 * kSecond, kRate), chosen);
                const ToneAnalysis tone = analyseTone(PowerSpectrum(output, kSecond, kSecond, kRate), hz);
                row.dbc.push_back(tone.aliasingDbc());
                if (hz == kAliasingTonesHz[0])
                    row.thdPercent = tone.thdPercent();
            }
            rows.push_back(row);
        }
    }
    return rows;
}

void printAliasing(std::ostream& out, const std::vector<AliasingRow>& rows)
{
    out << "Aliasing: sines at -6 dBFS, 1 s to settle, 1 s analysed (Blackman-Harris, 1 Hz bins).\n"
           "Energy of every bin in 20 Hz..20 kHz more than "
        << kHarmonicHalfWidth
        << " bins from a harmonic of the tone, over the fundamental's (dBc);\n"
           "THD: harmonics 2.. up to 20 kHz over the fundamental, at 997 Hz.\n\n";
    out << "| Setting | Oversampling |";
    for (double hz : kAliasingTonesHz)
        out << " " << hz << " Hz |";
    out << " THD @997 |\n|---|---|";
    for (std::size_t i = 0; i < std::size(kAliasingTonesHz); ++i)
        out << "---:|";
    out << "---:|\n";
    for (const AliasingRow& row : rows) {
        out << "| " << row.setting << " | " << row.factor << "x |";
        for (double dbc : row.dbc)
            out << " " << std::fixed << std::setprecision(1) << dbc << " |";
        out << " " << std::setprecision(1) << row.thdPercent << " % |\n";
    }
    out << std::defaultfloat;
}

bool writeAliasingCsv(const std::string& path, const std::vector<AliasingRow>& rows)
{
    std::ofstream file(path);
    file << "setting,oversampling,frequency_hz,aliasing_dbc\n";
    for (const AliasingRow& row : rows)
        for (std::size_t i = 0; i < row.dbc.size(); ++i)
            file << '"' << row.setting << "\"," << row.factor << ',' << std::lround(kAliasingTonesHz[i]) << ','
                 << std::fixed << std::setprecision(2) << row.dbc[i] << '\n';
    file.close();
    return static_cast<bool>(file);
}

} // namespace soundreport
