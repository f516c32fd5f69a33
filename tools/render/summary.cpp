// SPDX-License-Identifier: GPL-3.0-or-later
#include "summary.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <ostream>
#include <sstream>
#include <utility>

namespace render {

namespace {

std::string trimmed(const std::string& text)
{
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string decibels(double value)
{
    if (std::isinf(value) || std::isnan(value))
        return std::isnan(value) ? "    nan" : "   -inf";
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << std::setw(7) << value;
    return text.str();
}

void printLevel(std::ostream& out, const char* what, const Level& level)
{
    out << what << " peak " << decibels(level.peakDb) << " dBFS   RMS " << decibels(level.rmsDb) << " dBFS\n";
}

} // namespace

std::optional<std::string> implausibleRate(int sampleRate)
{
    if (sampleRate >= 8000 && sampleRate <= 768000)
        return std::nullopt;
    return "the input's rate of " + std::to_string(sampleRate) +
           " Hz is not an audio rate; the amp is voiced for 44100 to 192000 Hz";
}

void printSummary(std::ostream& out, const SummaryInput& what, const RenderResult& result)
{
    const double seconds = static_cast<double>(result.frames) / what.sampleRate;
    out << "Plug-in       " << (result.effectName.empty() ? "(unnamed)" : result.effectName);
    if (!result.vendor.empty())
        out << " by " << result.vendor;
    out << "  [" << what.pluginPath << "]\n";
    for (const auto& parameter : result.parameters) {
        std::ostringstream value;
        value << std::fixed << std::setprecision(3) << parameter.value;
        out << "  " << std::setw(2) << parameter.index << " " << std::left << std::setw(12) << parameter.name
            << std::right << " " << value.str() << "  " << trimmed(parameter.display);
        if (auto label = trimmed(parameter.label); !label.empty())
            out << " " << label;
        out << "\n";
    }
    out << "Input         " << what.inputName << ": " << what.channels << " ch, " << what.sampleRate << " Hz, "
        << std::fixed << std::setprecision(3) << seconds << " s (" << result.frames << " frames)\n";
    out << "Output        " << what.outputName << "\n";
    printLevel(out, "Input level  ", result.input.level());
    printLevel(out, "Output level ", result.output.level());
    std::vector<std::string> warnings = what.warnings;
    for (auto [meter, side] : {std::pair{&result.input, "input"}, std::pair{&result.output, "output"}})
        if (meter->nonFinite() > 0)
            warnings.push_back("the " + std::string(side) + " holds " + std::to_string(meter->nonFinite()) +
                               " samples that are NaN or infinite; its level is that of the finite ones");
    for (const auto& warning : warnings)
        out << "Warning       " << warning << "\n";
    out << "Speed         ";
    if (result.processingSeconds > 0.0)
        out << std::setprecision(1) << seconds / result.processingSeconds << "x real time";
    else
        out << "(too short to time)";
    out << std::setprecision(3) << " (" << result.processingSeconds << " s processing, blocks of " << what.blockSize;
    if (result.oversampling)
        out << ", oversampling " << *result.oversampling << "x";
    out << ")\n";
}

} // namespace render
