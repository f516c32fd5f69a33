// SPDX-License-Identifier: GPL-3.0-or-later
// Part of the processing test: whether the plug-in leaves the host's thread flushing subnormals.
// Plug-ins switch it on for their own speed; left on, it silently changes the host's arithmetic.
#include "validator.h"

#include <limits>

namespace validate {

// True when subnormal results are flushed to zero or subnormal operands read as zero.
bool threadFlushesSubnormals()
{
    volatile float smallestNormal = std::numeric_limits<float>::min();
    volatile float halved = smallestNormal * 0.5f;
    volatile float smallest = std::numeric_limits<float>::denorm_min();
    volatile float doubled = smallest * 2.0f;
    return halved == 0.0f || doubled == 0.0f;
}

void checkFloatingPointMode(Context& context, Random& random, Report& report)
{
    if (!context.flushingLeftBy.empty())
        report.advise("after " + context.flushingLeftBy + " the thread flushes subnormals: the plug-in changed the "
                      "host's floating-point mode and did not restore it");
    if (threadFlushesSubnormals()) {
        report.note("this thread flushed subnormals before the plug-in ran: mode not checked");
        return;
    }
    report.step("the thread's floating-point mode around open, process and close");
    auto leftFlushing = [&](const char* after) {
        if (!threadFlushesSubnormals())
            return false;
        report.advise(std::string("after ") + after + " the thread flushes subnormals: the plug-in changed the "
                      "host's floating-point mode and did not restore it");
        return true;
    };
    auto plugin = context.open(44100.0, 512);
    if (!plugin || leftFlushing("opening and switching on"))
        return;
    Bus in = context.inputBus(512), out = context.outputBus(512);
    in.noise(random, 0.5f);
    plugin->processReplacing(in.at(0), out.at(0), 512);
    if (leftFlushing("processReplacing"))
        return;
    plugin->suspend();
    plugin->close();
    leftFlushing("closing");
}

} // namespace validate
