// SPDX-License-Identifier: GPL-3.0-or-later
// The demo phrase without a cabinet and through each built-in one.
#pragma once

#include "sound_report_amp.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace soundreport {

struct CabinetRow {
    std::string name;
    double rmsDbfs = 0.0, peakDbfs = 0.0;
    double centroidHz = 0.0;
    double aboveFiveKhzDb = 0.0;      // share of the energy at 5 kHz and above
    std::vector<double> thirdOctaveDb; // share of the energy per third octave, thirdOctaveCentres()
};

struct CabinetReport {
    std::vector<CabinetRow> rows; // empty for a module without the Cabinet parameter
};

std::vector<double> thirdOctaveCentres();
CabinetReport measureCabinets(const AmpUnderTest& amp);
void printCabinets(std::ostream& out, const CabinetReport& report);
// cabinet,band_hz,level_db; false when the file cannot be written.
bool writeCabinetCsv(const std::string& path, const CabinetReport& report);

} // namespace soundreport
