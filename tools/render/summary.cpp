#include "summary.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <ostream>
#include <sstream>

namespace render {

Level measureLevel(const AudioData& audio)
{
    double peak = 0.0, sumSquares = 0.0;
    std::size_t count = 0;
    for (const auto& channel : audio.channels) {
        for (float sample : channel) {
            double value = sample;
            peak = std::max(peak, std::fabs(value));
            sumSquares += value * value;
        }
        count += channel.size();
    }
    auto toDb = [](double power) {
        return power > 0.0 ? 10.0 * std::log10(power) : -std::numeric_limits<double>::infinity();
    };
    Level level;
    level.peakDb = toDb(peak * peak);
    level.rmsDb = toDb(count ? sumSquares / static_cast<double>(count) : 0.0);
    return level;
}

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

void printSummary(std::ostream& out, const SummaryInput& what, const AudioData& input, const RenderResult& result)
{
    const double seconds = static_cast<double>(input.frames()) / input.sampleRate;
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
    out << "Input         " << what.inputName << ": " << input.channels.size() << " ch, " << input.sampleRate
        << " Hz, " << std::fixed << std::setprecision(3) << seconds << " s (" << input.frames() << " frames)\n";
    out << "Output        " << what.outputName << "\n";
    printLevel(out, "Input level  ", measureLevel(input));
    printLevel(out, "Output level ", measureLevel(result.output));
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
