// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C and SIGTERM only record the signal; the render loop looks between chunks, so that the
// temporary output is removed before the program leaves with 128 + the signal's number.
#pragma once

#include <stdexcept>

namespace render {

struct Interrupted : std::runtime_error {
    explicit Interrupted(int signal);
    int signal;
    int exitStatus() const { return 128 + signal; }
};

// A second signal of the same kind ends the program at once (for a plug-in that hangs).
void installInterruptHandlers();

// Throws Interrupted once SIGINT or SIGTERM has arrived.
void throwIfInterrupted();

} // namespace render
