// SPDX-License-Identifier: GPL-3.0-or-later
// Tests 2 to 5: processing across rates and block sizes, automation, fuzzed parameter values
// and bad input samples.
#include "validator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

namespace validate {

namespace {

constexpr double kRates[] = {44100.0, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr int kBlockSizes[] = {1, 17, 64, 512, 1024, 4096};
constexpr double kSilenceFloor = 1e-6;  // -120 dBFS

std::string where(double rate, int block)
{
    std::ostringstream text;
    text << rate / 1000.0 << " kHz, block " << block;
    return text.str();
}

std::string valueText(float value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

void process(vsthost::HostedPlugin& plugin, Bus& in, Bus& out, std::size_t offset, std::size_t frames)
{
    plugin.processReplacing(in.at(offset), out.at(offset), static_cast<VstInt32>(frames));
}

// Runs `input` through a fresh instance in blocks whose sizes come from `sizes` in turn.
Bus runSplit(Context& context, double rate, const Bus& input, const std::vector<std::size_t>& sizes,
             std::size_t maxBlock)
{
    Bus in = input;
    Bus out = context.outputBus(input.frames());
    auto plugin = context.open(rate, static_cast<int>(maxBlock));
    if (!plugin)
        return out;
    std::size_t offset = 0;
    for (std::size_t i = 0; offset < input.frames(); ++i) {
        std::size_t count = std::min(sizes[i % sizes.size()], input.frames() - offset);
        process(*plugin, in, out, offset, count);
        offset += count;
    }
    plugin->suspend();
    return out;
}

} // namespace

void testProcessing(Context& context, Random& random, Report& report)
{
    if (context.outputs < 1) {
        report.skip("no audio outputs");
        return;
    }
    checkFloatingPointMode(context, random, report);
    for (double rate : kRates) {
        for (int block : kBlockSizes) {
            report.step("noise then silence at " + where(rate, block));
            auto plugin = context.open(rate, block);
            if (!plugin) {
                report.fail("no instance at " + where(rate, block));
                continue;
            }
            Bus in = context.inputBus(static_cast<std::size_t>(block));
            Bus out = context.outputBus(static_cast<std::size_t>(block));
            Scan worst;
            for (int b = 0; b < 10; ++b) {
                in.noise(random, 0.5f);
                process(*plugin, in, out, 0, static_cast<std::size_t>(block));
                Scan s = scan(out, 0, static_cast<std::size_t>(block));
                worst.nonFinite += s.nonFinite;
                worst.subnormal += s.subnormal;
            }
            in.fill(0.0f);
            const auto tailLimit = static_cast<std::size_t>(2.0 * rate);
            bool quiet = false;
            double lastPeak = 0.0;
            for (std::size_t done = 0; done <= tailLimit; done += static_cast<std::size_t>(block)) {
                process(*plugin, in, out, 0, static_cast<std::size_t>(block));
                Scan s = scan(out, 0, static_cast<std::size_t>(block));
                worst.nonFinite += s.nonFinite;
                worst.subnormal += s.subnormal;
                lastPeak = s.peak;
                if (s.finite() && s.peak < kSilenceFloor) {
                    quiet = true;
                    break;
                }
            }
            if (worst.nonFinite)
                report.fail(where(rate, block) + ": " + std::to_string(worst.nonFinite) + " non-finite output samples");
            if (worst.subnormal)
                report.advise(where(rate, block) + ": " + std::to_string(worst.subnormal) +
                              " subnormal output samples (slow on many processors)");
            if (!quiet && worst.nonFinite == 0)
                report.advise(where(rate, block) + ": silence in still gives " +
                              valueText(static_cast<float>(20.0 * std::log10(lastPeak))) +
                              " dBFS out after 2 s (normal for a reverb or delay)");
            plugin->suspend();
        }

        // The same signal in different block patterns should give the same output; a plug-in
        // that works in fixed internal blocks or updates controls per call may not, and a host
        // copes with either.
        const auto frames = static_cast<std::size_t>(0.25 * rate);
        Bus signal = context.inputBus(frames + static_cast<std::size_t>(0.1 * rate));
        signal.noise(random, 0.5f);
        for (std::size_t c = 0; c < signal.channels(); ++c)
            std::fill(signal[c].begin() + static_cast<std::ptrdiff_t>(frames), signal[c].end(), 0.0f);
        Bus reference = runSplit(context, rate, signal, {512}, 512);
        std::vector<std::vector<std::size_t>> patterns;
        for (int block : kBlockSizes)
            if (block != 512)
                patterns.push_back({static_cast<std::size_t>(block)});
        std::vector<std::size_t> irregular;
        for (int i = 0; i < 64; ++i)
            irregular.push_back(1 + random.below(1024));
        patterns.push_back(irregular);
        for (const auto& pattern : patterns) {
            std::string name = pattern.size() == 1 ? "block " + std::to_string(pattern[0]) : "irregular blocks";
            report.step("block-size independence at " + where(rate, 512) + " vs " + name);
            std::size_t maxBlock = *std::max_element(pattern.begin(), pattern.end());
            Bus other = runSplit(context, rate, signal, pattern, maxBlock);
            double worstDifference = 0.0;
            std::size_t at = 0;
            for (std::size_t c = 0; c < other.channels(); ++c)
                for (std::size_t i = 0; i < other.frames(); ++i) {
                    double difference = std::fabs(double(other[c][i]) - double(reference[c][i]));
                    if (!(difference <= worstDifference)) {
                        worstDifference = std::isnan(difference) ? std::numeric_limits<double>::infinity() : difference;
                        at = i;
                    }
                }
            if (worstDifference > 1e-6) {
                report.advise(where(rate, 512) + " vs " + name + ": outputs differ by " +
                            valueText(static_cast<float>(worstDifference)) + " at frame " + std::to_string(at));
            }
        }
    }
}

void testAutomation(Context& context, Random& random, Report& report)
{
    if (context.outputs < 1 || context.parameters < 1) {
        report.skip(context.outputs < 1 ? "no audio outputs" : "no parameters");
        return;
    }
    constexpr std::size_t kSubBlock = 32;
    {
        report.step("random automation every 32 samples");
        auto plugin = context.open(44100.0, 512);
        Bus in = context.inputBus(512), out = context.outputBus(512);
        const std::size_t blocks = context.scaled(10) * 44100 / 512;
        std::size_t bad = 0;
        double peak = 0.0;
        for (std::size_t b = 0; b < blocks; ++b) {
            in.noise(random, 0.5f);
            for (std::size_t offset = 0; offset < 512; offset += kSubBlock) {
                for (VstInt32 p = 0; p < context.parameters; ++p)
                    plugin->setParameter(p, static_cast<float>(random.unit()));
                process(*plugin, in, out, offset, kSubBlock);
            }
            Scan s = scan(out, 0, 512);
            bad += s.nonFinite;
            peak = std::max(peak, s.peak);
        }
        if (bad)
            report.fail("random automation every 32 samples: " + std::to_string(bad) + " non-finite samples");
        if (peak >= kLoudOutput)
            report.advise("random automation every 32 samples: output peak " + valueText(static_cast<float>(peak)));
        plugin->suspend();
    }

    // Parameters from another thread while the audio thread runs.
    report.step("parameters from a second thread");
    auto plugin = context.open(44100.0, static_cast<int>(kSubBlock));
    Bus in = context.inputBus(kSubBlock), out = context.outputBus(kSubBlock);
    std::atomic<bool> done{false};
    std::uint64_t threadSeed = random.next();
    std::thread automation([&] {
        Random own(threadSeed);
        while (!done.load(std::memory_order_relaxed)) {
            for (VstInt32 p = 0; p < context.parameters; ++p)
                plugin->setParameter(p, static_cast<float>(own.unit()));
            std::this_thread::yield();
        }
    });
    std::size_t bad = 0;
    double peak = 0.0;
    for (std::size_t b = 0, blocks = context.scaled(500); b < blocks; ++b) {
        in.noise(random, 0.5f);
        process(*plugin, in, out, 0, kSubBlock);
        Scan s = scan(out, 0, kSubBlock);
        bad += s.nonFinite;
        peak = std::max(peak, s.peak);
    }
    done = true;
    automation.join();
    if (bad)
        report.fail("parameters from a second thread: " + std::to_string(bad) + " non-finite samples");
    if (peak >= kLoudOutput)
        report.advise("parameters from a second thread: output peak " + valueText(static_cast<float>(peak)));
    plugin->suspend();
}

void testParameterFuzz(Context& context, Random& random, Report& report)
{
    if (context.outputs < 1 || context.parameters < 1) {
        report.skip(context.outputs < 1 ? "no audio outputs" : "no parameters");
        return;
    }
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, 1.0f, -0.001f, 1.001f, -1e-7f, 1.0000001f, 1e30f, -1e30f,
                            std::numeric_limits<float>::quiet_NaN(), inf, -inf};
    std::vector<std::pair<VstInt32, float>> cases;
    for (std::size_t round = 0; round < std::max<std::size_t>(1, context.scaled(1)); ++round)
        for (VstInt32 p = 0; p < context.parameters; ++p)
            for (float value : values)
                cases.emplace_back(p, value);
    random.shuffle(cases);

    constexpr std::size_t kBlock = 256;
    Bus in = context.inputBus(kBlock), out = context.outputBus(kBlock);
    auto plugin = context.open(44100.0, kBlock);
    std::vector<float> defaults;
    for (VstInt32 p = 0; p < context.parameters; ++p)
        defaults.push_back(plugin->getParameter(p));
    for (auto [parameter, value] : cases) {
        std::string what = "parameter " + std::to_string(parameter) + " = " + valueText(value);
        // A plug-in owes finite output for values inside [0, 1]; what it makes of values a host
        // should never send is advice, unless it crashes.
        const bool inRange = value >= 0.0f && value <= 1.0f;
        report.step(what);
        plugin->setParameter(parameter, value);
        in.noise(random, 0.5f);
        process(*plugin, in, out, 0, kBlock);
        Scan during = scan(out, 0, kBlock);
        plugin->setParameter(parameter, defaults[static_cast<std::size_t>(parameter)]);
        process(*plugin, in, out, 0, kBlock);
        Scan settling = scan(out, 0, kBlock);
        in.noise(random, 0.5f);
        process(*plugin, in, out, 0, kBlock);
        Scan after = scan(out, 0, kBlock);
        bool broken = false;
        if (!during.finite() || !settling.finite()) {
            report.find(inRange, what + ": " + describe(during.finite() ? settling : during));
            broken = true;
        }
        if (!after.finite() || after.peak >= kLoudOutput) {
            report.find(inRange && !after.finite(), what + ", then back in range: " + describe(after) + " one block later");
            broken = true;
        }
        if (broken) {
            // Start clean, so the next case is judged on its own.
            plugin = context.open(44100.0, kBlock);
        }
    }
    plugin->suspend();
}

void testBadAudio(Context& context, Random& random, Report& report)
{
    if (context.inputs < 1 || context.outputs < 1) {
        report.skip("no audio input or output");
        return;
    }
    const float inf = std::numeric_limits<float>::infinity();
    // Named here: printing a subnormal goes through double, which reads zero when a plug-in has
    // left the thread flushing subnormals.
    const std::pair<float, const char*> specials[] = {
        {std::numeric_limits<float>::quiet_NaN(), "nan"}, {inf, "inf"},     {-inf, "-inf"},
        {1e30f, "1e+30"},  {-1e30f, "-1e+30"}, {std::numeric_limits<float>::denorm_min(), "1.4e-45 (subnormal)"},
        {-1e-40f, "-1e-40 (subnormal)"}};
    constexpr std::size_t kBlock = 256;
    for (std::size_t round = 0, rounds = context.scaled(3); round < rounds; ++round) {
        for (auto [special, name] : specials) {
            std::string what = std::string("input ") + name;
            // NaN, infinity and 1e30 are beyond any real signal: passing them on is advice.
            // A subnormal is a legal, finite sample and owes finite output.
            const bool extreme = !(std::fabs(special) < kExtremeInput);
            report.step(what);
            auto plugin = context.open(44100.0, kBlock);
            Bus in = context.inputBus(kBlock), out = context.outputBus(kBlock);
            for (int warm = 0; warm < 4; ++warm) {
                in.noise(random, 0.5f);
                process(*plugin, in, out, 0, kBlock);
            }
            in.noise(random, 0.5f);
            std::size_t count = 1 + random.below(8);
            for (std::size_t k = 0; k < count; ++k)
                in[random.below(in.channels())][random.below(kBlock)] = special;
            process(*plugin, in, out, 0, kBlock);
            Scan during = scan(out, 0, kBlock);
            in.noise(random, 0.5f);
            process(*plugin, in, out, 0, kBlock);
            Scan settling = scan(out, 0, kBlock);
            in.noise(random, 0.5f);
            process(*plugin, in, out, 0, kBlock);
            Scan after = scan(out, 0, kBlock);
            if (!during.finite())
                report.find(!extreme, what + " at " + std::to_string(count) + " positions: " + describe(during));
            if (!settling.finite() || !after.finite() || after.peak >= kLoudOutput)
                report.find(!extreme && (!settling.finite() || !after.finite()),
                            what + ", then clean input: " + describe(after) + " two blocks later");
            plugin->suspend();
        }
    }
}

} // namespace validate
