// SPDX-License-Identifier: GPL-3.0-or-later
#include "validator.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace validate {

void Report::fail(const std::string& problem)
{
    sink ? sink('F', problem) : faults.push_back(problem);
}

void Report::advise(const std::string& problem)
{
    sink ? sink('A', problem) : advice.push_back(problem);
}

void Report::note(const std::string& fact)
{
    sink ? sink('N', fact) : notes.push_back(fact);
}

void Report::skip(const std::string& reason)
{
    sink ? sink('S', reason) : void(skipped = reason);
}

void Report::step(const std::string& what)
{
    lastStep = what;
    if (sink)
        sink('W', what);
}

Bus::Bus(int channels, std::size_t frames)
{
    // Never an empty pointer array: some plug-ins touch channel 0 whatever they declare.
    data.assign(static_cast<std::size_t>(std::max(channels, 1)), std::vector<float>(frames, 0.0f));
    pointers.resize(data.size());
}

float** Bus::at(std::size_t offset)
{
    for (std::size_t c = 0; c < data.size(); ++c)
        pointers[c] = data[c].data() + offset;
    return pointers.data();
}

void Bus::fill(float value)
{
    for (auto& channel : data)
        std::fill(channel.begin(), channel.end(), value);
}

void Bus::noise(Random& random, float amplitude)
{
    for (auto& channel : data)
        for (auto& sample : channel)
            sample = random.uniform(-amplitude, amplitude);
}

Scan scan(const Bus& bus, std::size_t offset, std::size_t frames)
{
    Scan result;
    for (std::size_t c = 0; c < bus.channels(); ++c) {
        const auto& channel = bus[c];
        for (std::size_t i = offset; i < offset + frames && i < channel.size(); ++i) {
            float sample = channel[i];
            switch (std::fpclassify(sample)) {
            case FP_NAN:
            case FP_INFINITE:
                ++result.nonFinite;
                break;
            case FP_SUBNORMAL:
                ++result.subnormal;
                [[fallthrough]];
            default:
                result.peak = std::max(result.peak, std::fabs(static_cast<double>(sample)));
            }
        }
    }
    return result;
}

std::string describe(const Scan& scan)
{
    std::ostringstream text;
    if (scan.nonFinite)
        text << scan.nonFinite << " non-finite samples";
    else
        text << "peak " << scan.peak;
    if (scan.subnormal)
        text << ", " << scan.subnormal << " subnormal";
    return text.str();
}

Context::Context(const Settings& settings, const vsthost::PluginModule& module) : settings(settings), module(module)
{
    vsthost::HostedPlugin probe(module);
    if (AEffect* effect = probe.effect()) {
        inputs = effect->numInputs;
        outputs = effect->numOutputs;
        parameters = effect->numParams;
        flags = effect->flags;
    }
}

std::unique_ptr<vsthost::HostedPlugin> Context::create() const
{
    auto instance = std::make_unique<vsthost::HostedPlugin>(module);
    if (!*instance)
        return nullptr;
    return instance;
}

std::unique_ptr<vsthost::HostedPlugin> Context::open(double sampleRate, int blockSize) const
{
    vsthost::HostSettings host;
    host.sampleRate = sampleRate;
    host.blockSize = blockSize;
    auto instance = std::make_unique<vsthost::HostedPlugin>(module, host);
    if (!*instance)
        return nullptr;
    instance->start(sampleRate, blockSize);
    return instance;
}

std::size_t Context::scaled(std::size_t atDefault) const
{
    double factor = std::clamp(settings.strictness, 1, 10) / 5.0;
    return std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(static_cast<double>(atDefault) * factor)));
}

const std::vector<Test>& allTests()
{
    static const std::vector<Test> tests = {
        {"identity", testIdentity},          {"processing", testProcessing}, {"automation", testAutomation},
        {"parameter-fuzz", testParameterFuzz}, {"bad-audio", testBadAudio},   {"lifecycle", testLifecycle},
        {"editor", testEditor},              {"real-time", testRealTime},
    };
    return tests;
}

} // namespace validate
