// SPDX-License-Identifier: GPL-3.0-or-later
// Test 1: the record, and every text the plug-in writes into host buffers.
#include "validator.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace validate {

namespace {

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kGuardedSize = 512;

// Asks for a text into a buffer filled with canary bytes and checks the plug-in kept within
// `limit` characters plus the terminator. Answers the bytes it touched when it did not.
std::size_t checkText(vsthost::HostedPlugin& plugin, VstInt32 opcode, VstInt32 index, std::size_t limit,
                      const std::string& what, Report* report)
{
    unsigned char buffer[kGuardedSize];
    std::memset(buffer, kCanary, sizeof buffer);
    plugin.dispatch(opcode, index, 0, buffer);
    std::size_t touched = 0;
    for (std::size_t i = 0; i < kGuardedSize; ++i)
        if (buffer[i] != kCanary)
            touched = i + 1;
    const void* terminator = std::memchr(buffer, 0, kGuardedSize);
    std::string text(reinterpret_cast<const char*>(buffer),
                     terminator ? static_cast<const unsigned char*>(terminator) - buffer : 0);
    if (touched > limit + 1) {
        if (report) {
            std::ostringstream problem;
            problem << what << " \"" << text << "\" writes " << touched << " bytes into a " << limit + 1
                    << "-byte buffer";
            report->fail(problem.str());
        }
        return touched;
    }
    if (touched > 0 && !std::memchr(buffer, 0, limit + 1)) {
        if (report)
            report->fail(what + " is not terminated within " + std::to_string(limit + 1) + " bytes");
        return touched;
    }
    return 0;
}

} // namespace

void testIdentity(Context& context, Random& random, Report& report)
{
    vsthost::HostedPlugin plugin(context.module);
    AEffect* effect = plugin.effect();
    if (!effect) {
        report.fail("the entry point returned no effect record (or a wrong magic number)");
        return;
    }
    if (effect->magic != kEffectMagic)
        report.fail("magic is not 'VstP'");
    // The field is the plug-in's own; a host must not rely on it.
    if (!effect->object)
        report.advise("the record's object field is null");
    if (!effect->dispatcher || !effect->setParameter || !effect->getParameter)
        report.fail("a record function pointer is null");
    if (!(effect->flags & effFlagsCanReplacing) || !effect->processReplacing)
        report.fail("no processReplacing (required since VST 2.4)");
    if (effect->numInputs < 0 || effect->numInputs > 64 || effect->numOutputs < 0 || effect->numOutputs > 64)
        report.fail("implausible channel counts " + std::to_string(effect->numInputs) + " in, " +
                    std::to_string(effect->numOutputs) + " out");
    if (effect->numParams < 0 || effect->numParams > 100000)
        report.fail("implausible parameter count " + std::to_string(effect->numParams));
    if (effect->numPrograms < 0)
        report.fail("negative program count");

    std::ostringstream summary;
    summary << "\"" << plugin.effectName() << "\" by \"" << plugin.vendorString() << "\", " << effect->numInputs
            << " in, " << effect->numOutputs << " out, " << effect->numParams << " parameters";
    report.note(summary.str());

    report.step("effect, vendor and product names");
    checkText(plugin, effGetEffectName, 0, kVstMaxEffectNameLen, "effect name", &report);
    checkText(plugin, effGetVendorString, 0, kVstMaxVendorStrLen, "vendor string", &report);
    checkText(plugin, effGetProductString, 0, kVstMaxProductStrLen, "product string", &report);

    plugin.start(44100.0, 512);
    const std::size_t values = context.scaled(100);
    for (VstInt32 i = 0; i < effect->numParams; ++i) {
        std::string which = "parameter " + std::to_string(i);
        report.step("texts and values of " + which);
        checkText(plugin, effGetParamName, i, kVstMaxParamStrLen, which + " name", &report);
        checkText(plugin, effGetParamLabel, i, kVstMaxParamStrLen, which + " label", &report);
        checkText(plugin, effGetParamDisplay, i, kVstMaxParamStrLen, which + " display", &report);
        float original = plugin.getParameter(i);
        if (!(original >= 0.0f && original <= 1.0f))
            report.fail(which + " starts at " + std::to_string(original) + ", outside [0, 1]");
        std::size_t overruns = 0, widest = 0;
        for (std::size_t v = 0; v < values; ++v) {
            float value = static_cast<float>(random.unit());
            plugin.setParameter(i, value);
            float read = plugin.getParameter(i);
            if (!(read >= 0.0f && read <= 1.0f))
                report.fail(which + " set to " + std::to_string(value) + " reads back " + std::to_string(read));
            if (std::size_t touched = checkText(plugin, effGetParamDisplay, i, kVstMaxParamStrLen, {}, nullptr)) {
                ++overruns;
                widest = std::max(widest, touched);
            }
        }
        if (overruns)
            report.fail(which + " display overruns its " + std::to_string(kVstMaxParamStrLen + 1) + "-byte buffer for " +
                        std::to_string(overruns) + " of " + std::to_string(values) + " random values (up to " +
                        std::to_string(widest) + " bytes)");
        plugin.setParameter(i, original);
    }
    plugin.suspend();
}

} // namespace validate
