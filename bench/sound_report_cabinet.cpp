// SPDX-License-Identifier: GPL-3.0-or-later
// The demo phrase before and after the cabinet: the amplifier alone, then through each built-in
// cabinet, with its level, where its energy sits, and its long-term spectrum in third octaves for
// the plot.
#include "sound_report_cabinet.h"

#include "sound_report_spectrum.h"
#include "tools/render/demo_phrase.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <ostream>

namespace soundreport {
namespace {

constexpr int kCabinetParameter = 7;
constexpr int kCabinetPositions = 6;
constexpr const char* kPositionNames[kCabinetPositions - 1] = {"no cabinet", "1x10 open back", "1x12 open back",
                                                              "4x12 closed back", "4x12 closed back, off axis"};
constexpr std::size_t kFrames = 1 << 15; // 0.74 s windows, averaged over the phrase

double dbfs(double meanSquare)
{
    return 10.0 * std::log10(std::max(meanSquare, 1e-30));
}

} // namespace

std::vector<double> thirdOctaveCentres()
{
    std::vector<double> centres;
    for (int band = -17; band <= 13; ++band) // 20 Hz to 20 kHz around 1 kHz
        centres.push_back(1000.0 * std::pow(2.0, band / 3.0));
    return centres;
}

CabinetReport measureCabinets(const AmpUnderTest& amp)
{
    CabinetReport report;
    if (amp.name() != "Quarvine" || amp.parameterCount() <= kCabinetParameter)
        return report;
    const std::vector<float> phrase = render::demoPhrase();
    const std::vector<double> centres = thirdOctaveCentres();
    for (int position = 0; position < kCabinetPositions - 1; ++position) {
        const float value = static_cast<float>(position) / (kCabinetPositions - 1);
        const std::vector<float> out = amp.play(phrase, {{kCabinetParameter, value}});
        CabinetRow row;
        row.name = kPositionNames[position];
        double sum = 0.0, peak = 0.0;
        for (float x : out) {
            sum += static_cast<double>(x) * x;
            peak = std::max(peak, std::fabs(static_cast<double>(x)));
        }
        row.rmsDbfs = dbfs(sum / static_cast<double>(out.size()));
        row.peakDbfs = 20.0 * std::log10(std::max(peak, 1e-15));
        std::vector<double> power(centres.size(), 0.0);
        double total = 0.0, weighted = 0.0, above = 0.0;
        for (std::size_t start = 0; start + kFrames <= out.size(); start += kFrames / 2) {
            const PowerSpectrum spectrum(out, start, kFrames, kRate);
            for (std::size_t bin = 1; bin < spectrum.size(); ++bin) {
                const double f = spectrum.frequency(bin), p = spectrum[bin];
                total += p;
                weighted += p * f;
                if (f >= 5000.0)
                    above += p;
                for (std::size_t band = 0; band < centres.size(); ++band)
                    if (f >= centres[band] / std::pow(2.0, 1.0 / 6.0) && f < centres[band] * std::pow(2.0, 1.0 / 6.0))
                        power[band] += p;
            }
        }
        row.centroidHz = weighted / total;
        row.aboveFiveKhzDb = toDb(above / total);
        for (double p : power)
            row.thirdOctaveDb.push_back(toDb(p / total));
        report.rows.push_back(row);
    }
    return report;
}

void printCabinets(std::ostream& out, const CabinetReport& report)
{
    out << "## The demo phrase without and with each built-in cabinet (defaults, 2x, 44.1 kHz)\n\n";
    if (report.rows.empty()) {
        out << "(the module has no Cabinet parameter)\n";
        return;
    }
    out << "| Cabinet | RMS dBFS | Peak dBFS | Spectral centroid Hz | Energy above 5 kHz dB |\n|---|---:|---:|---:|---:|\n";
    out << std::fixed;
    for (const CabinetRow& row : report.rows)
        out << "| " << row.name << " | " << std::setprecision(1) << row.rmsDbfs << " | " << row.peakDbfs << " | "
            << std::setprecision(0) << row.centroidHz << " | " << std::setprecision(1) << row.aboveFiveKhzDb << " |\n";
}

bool writeCabinetCsv(const std::string& path, const CabinetReport& report)
{
    std::ofstream csv(path);
    csv << "cabinet,band_hz,level_db\n";
    const std::vector<double> centres = thirdOctaveCentres();
    for (const CabinetRow& row : report.rows)
        for (std::size_t band = 0; band < centres.size(); ++band)
            csv << '"' << row.name << "\"," << centres[band] << ',' << row.thirdOctaveDb[band] << '\n';
    return static_cast<bool>(csv);
}

} // namespace soundreport
