// SPDX-License-Identifier: GPL-3.0-or-later
// Test 6: switching on and off, rate changes, many instances.
#include "validator.h"


namespace validate {

namespace {

constexpr std::size_t kBlock = 256;

void processNoise(vsthost::HostedPlugin& plugin, Bus& in, Bus& out, Random& random, Report& report,
                  const std::string& what)
{
    in.noise(random, 0.5f);
    plugin.processReplacing(in.at(0), out.at(0), kBlock);
    Scan s = scan(out, 0, kBlock);
    if (!s.finite())
        report.fail(what + ": " + describe(s));
    else if (s.peak >= kLoudOutput)
        report.advise(what + ": " + describe(s));
}

} // namespace

void testLifecycle(Context& context, Random& random, Report& report)
{
    const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
    Bus in = context.inputBus(kBlock), out = context.outputBus(kBlock);

    // Suspend, change the rate, resume, between blocks.
    {
        report.step("suspend, rate change, resume");
        auto plugin = context.open(44100.0, kBlock);
        for (std::size_t i = 0, n = context.scaled(50); i < n; ++i) {
            double rate = rates[random.below(std::size(rates))];
            plugin->suspend();
            plugin->setSampleRate(rate);
            if (random.below(2))
                plugin->dispatch(effSetBlockSize, 0, kBlock);
            plugin->resume();
            processNoise(*plugin, in, out, random, report, "after resume at " + std::to_string(rate) + " Hz");
        }
        plugin->suspend();
    }
    // Rate changes while switched on, as some hosts do.
    {
        report.step("rate changes while running");
        auto plugin = context.open(44100.0, kBlock);
        for (std::size_t i = 0, n = context.scaled(50); i < n; ++i) {
            double rate = rates[random.below(std::size(rates))];
            plugin->setSampleRate(rate);
            processNoise(*plugin, in, out, random, report, "rate changed to " + std::to_string(rate) + " Hz while running");
        }
        plugin->suspend();
    }
    // Many instances alive at once, closed in random order.
    {
        report.step("many instances at once");
        std::vector<std::unique_ptr<vsthost::HostedPlugin>> instances;
        for (std::size_t i = 0, n = context.scaled(100); i < n; ++i) {
            auto plugin = context.open(rates[random.below(std::size(rates))], kBlock);
            if (!plugin) {
                report.fail("instance " + std::to_string(i) + " refused");
                break;
            }
            instances.push_back(std::move(plugin));
        }
        for (auto& plugin : instances)
            processNoise(*plugin, in, out, random, report, "one of many instances");
        random.shuffle(instances);
        for (auto& plugin : instances) {
            if (random.below(2))
                plugin->suspend();
            plugin->close();
        }
    }
    // effClose straight after processing, without effMainsChanged(0); and a close of an
    // instance that never ran.
    {
        report.step("effClose without suspending");
        auto plugin = context.open(48000.0, kBlock);
        processNoise(*plugin, in, out, random, report, "before effClose");
        plugin->close();
        auto idle = context.create();
        if (idle)
            idle->close();
    }
}

} // namespace validate
