// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-sound-report: how the amp sounds where numbers can tell: aliasing and distortion of
// steady tones at each oversampling factor, clicks and zipper noise when knobs step or sweep, and
// the oversampling switch while a tone plays. Loads any VST 2.4 module through the project's host
// library (by default the built libquarvine.so), 44.1 kHz, blocks of 512. Asserts nothing.
//
// With --stages, also which nonlinear stage makes how much of the aliasing (minutes: see
// measureStages).
//
//   quarvine-sound-report [--plugin PATH] [--csv FILE] [--stages [--ideal-rate N]]
#include "sound_report_amp.h"
#include "sound_report_cabinet.h"
#include "sound_report_sections.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <iostream>

int main(int argc, char** argv)
{
    std::string pluginPath = QUARVINE_MODULE_PATH;
    std::string csvPath;
    CLI::App app{"Measures aliasing, distortion, control noise and the oversampling switch of a VST 2.4 amp.",
                 "quarvine-sound-report"};
    app.add_option("--plugin", pluginPath, "VST 2.4 module to measure (default: the built libquarvine.so)")
        ->check(CLI::ExistingFile);
    app.add_option("--csv", csvPath, "Also write the aliasing figures here (setting,oversampling,frequency_hz,aliasing_dbc)");
    std::string cabinetCsvPath;
    app.add_option("--cabinet-csv", cabinetCsvPath,
                   "Also write the demo phrase's third-octave spectrum per cabinet here (cabinet,band_hz,level_db)");
    bool stages = false;
    int idealFactor = 128;
    app.add_flag("--stages", stages, "Also measure the aliasing with each nonlinear stage made alias-free in turn");
    app.add_option("--ideal-rate", idealFactor, "Rate of an alias-free stage, in times the host rate")
        ->check(CLI::IsMember({16, 32, 64, 128, 256, 512}));
    CLI11_PARSE(app, argc, argv);

    // dlopen searches the library path for a bare file name; the user means the file here.
    pluginPath = std::filesystem::absolute(pluginPath).string();
    std::string error;
    auto amp = soundreport::AmpUnderTest::load(pluginPath, &error);
    if (!amp) {
        std::cerr << "quarvine-sound-report: cannot load the plug-in: " << error << "\n";
        return 1;
    }
    const auto began = std::chrono::steady_clock::now();
    std::cout << "# Sound report: " << amp->name() << "  [" << amp->path() << "], " << amp->parameterCount()
              << " parameters";
    if (!amp->hasOversampling())
        std::cout << " (no oversampling parameter: 2x only)";
    std::cout << "\n\n";

    const auto aliasing = soundreport::measureAliasing(*amp);
    soundreport::printAliasing(std::cout, aliasing);
    if (!csvPath.empty() && !soundreport::writeAliasingCsv(csvPath, aliasing)) {
        std::cerr << "quarvine-sound-report: cannot write " << csvPath << "\n";
        return 1;
    }
    std::cout << "\n";
    if (stages) {
        soundreport::printStages(std::cout, soundreport::measureStages(idealFactor));
        std::cout << "\n";
    }
    soundreport::printControls(std::cout, soundreport::measureControls(*amp));
    std::cout << "\n";
    soundreport::printSwitch(std::cout, *amp, soundreport::measureSwitch(*amp));
    std::cout << "\n";
    const auto cabinets = soundreport::measureCabinets(*amp);
    soundreport::printCabinets(std::cout, cabinets);
    if (!cabinetCsvPath.empty() && !soundreport::writeCabinetCsv(cabinetCsvPath, cabinets)) {
        std::cerr << "quarvine-sound-report: cannot write " << cabinetCsvPath << "\n";
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    std::cout << "\n(measured in " << std::fixed << std::setprecision(1) << took.count() << " s)\n";
    return 0;
}
