// Tests 6 and 7: switching on and off, rate changes, many instances, and the editor.
#include "validator.h"

#include <atomic>
#include <thread>

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

void testEditor(Context& context, Random& random, Report& report)
{
    if (context.settings.skipGui) {
        report.skip("--skip-gui");
        return;
    }
    if (!(context.flags & effFlagsHasEditor)) {
        report.skip("no editor flag");
        return;
    }
    auto openClose = [&](vsthost::HostedPlugin& plugin, bool idle) {
        ERect* rect = nullptr;
        plugin.dispatch(effEditGetRect, 0, 0, &rect);
        if (rect && (rect->right < rect->left || rect->bottom < rect->top))
            report.fail("effEditGetRect gives an inverted rectangle");
        VstIntPtr opened = plugin.dispatch(effEditOpen, 0, 0, nullptr);
        if (opened && idle)
            plugin.dispatch(effEditIdle);
        if (opened)
            plugin.dispatch(effEditClose);
        return opened != 0;
    };

    const std::size_t cycles = context.scaled(100);
    // Cold: a new instance for every opening.
    report.step("cold open/close cycles");
    for (std::size_t i = 0; i < cycles / 4 + 1; ++i) {
        auto plugin = context.open(44100.0, kBlock);
        openClose(*plugin, false);
    }
    // Warm: one instance opened again and again.
    report.step("warm open/close cycles");
    auto plugin = context.open(44100.0, kBlock);
    bool everOpened = false;
    for (std::size_t i = 0; i < cycles; ++i)
        everOpened |= openClose(*plugin, i % 2 == 0);
    report.note(everOpened ? "editor opened without a parent" : "effEditOpen without a parent answered 0");

    // Open and close while one thread processes audio and another automates.
    report.step("open/close while other threads process and automate");
    std::atomic<bool> done{false};
    std::atomic<std::size_t> badSamples{0};
    std::uint64_t seedA = random.next(), seedB = random.next();
    std::thread audio([&] {
        Random own(seedA);
        Bus in = context.inputBus(kBlock), out = context.outputBus(kBlock);
        while (!done.load(std::memory_order_relaxed)) {
            in.noise(own, 0.5f);
            plugin->processReplacing(in.at(0), out.at(0), kBlock);
            badSamples += scan(out, 0, kBlock).nonFinite;
        }
    });
    std::thread automation([&] {
        Random own(seedB);
        while (!done.load(std::memory_order_relaxed)) {
            for (VstInt32 p = 0; p < context.parameters; ++p)
                plugin->setParameter(p, static_cast<float>(own.unit()));
            std::this_thread::yield();
        }
    });
    for (std::size_t i = 0; i < cycles / 2 + 1; ++i) {
        ERect* rect = nullptr;
        plugin->dispatch(effEditGetRect, 0, 0, &rect);
        if (plugin->dispatch(effEditOpen, 0, 0, nullptr)) {
            // The host's own automation while the editor shows.
            for (VstInt32 p = 0; p < context.parameters; ++p)
                plugin->setParameter(p, static_cast<float>(random.unit()));
            plugin->dispatch(effEditIdle);
            plugin->dispatch(effEditClose);
        }
    }
    done = true;
    audio.join();
    automation.join();
    if (badSamples)
        report.fail(std::to_string(badSamples.load()) + " non-finite samples while the editor opened and closed");

    // Closing the effect with its editor still open.
    report.step("effClose with the editor open");
    plugin->dispatch(effEditOpen, 0, 0, nullptr);
    plugin->close();
}

} // namespace validate
