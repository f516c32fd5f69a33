// SPDX-License-Identifier: GPL-3.0-or-later
// Test 7: the editor opened and closed cold, warm, and while other threads process and automate.
#include "parent_window.h"
#include "validator.h"

#include <atomic>
#include <thread>

namespace validate {

namespace {

constexpr std::size_t kBlock = 256;

} // namespace

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
    // Hosts open editors inside a window of theirs. Quarvine's, held to --strict, also opens on
    // every other cycle without one (a top-level window of its own), as it always has.
    ParentWindow window;
    const bool withoutParentToo = context.settings.strict || !window.handle();
    auto parentFor = [&](std::size_t cycle) { return withoutParentToo && cycle % 2 ? nullptr : window.handle(); };
    auto openClose = [&](vsthost::HostedPlugin& plugin, bool idle, void* parent) {
        ERect* rect = nullptr;
        plugin.dispatch(effEditGetRect, 0, 0, &rect);
        if (rect && (rect->right < rect->left || rect->bottom < rect->top))
            report.fail("effEditGetRect gives an inverted rectangle");
        VstIntPtr opened = plugin.dispatch(effEditOpen, 0, 0, parent);
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
        openClose(*plugin, false, parentFor(i));
    }
    // Warm: one instance opened again and again.
    report.step("warm open/close cycles");
    auto plugin = context.open(44100.0, kBlock);
    bool everOpened = false;
    for (std::size_t i = 0; i < cycles; ++i)
        everOpened |= openClose(*plugin, i % 2 == 0, parentFor(i / 2));
    report.note(std::string(everOpened ? "editor opened" : "effEditOpen answered 0") +
                (window.handle() ? " in a parent window" : " without a parent (no X display)") +
                (window.handle() && withoutParentToo ? " and without one" : ""));

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
        if (plugin->dispatch(effEditOpen, 0, 0, parentFor(i))) {
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

    // Hosts close the editor before the effect. Quarvine, under --strict, must also survive a
    // host that does not.
    plugin->dispatch(effEditOpen, 0, 0, window.handle());
    if (context.settings.strict) {
        report.step("effClose with the editor open");
    } else {
        report.step("effEditClose, then effClose");
        plugin->dispatch(effEditClose);
    }
    plugin->close();
}

} // namespace validate
