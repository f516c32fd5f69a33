// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C, SIGTERM and SIGHUP only record the signal; the render loop looks between chunks, so that
// the temporary output is removed before the program leaves with 128 + the signal's number.
#pragma once

#include <csignal>
#include <stdexcept>

namespace render {

struct Interrupted : std::runtime_error {
    explicit Interrupted(int signal);
    int signal;
    int exitStatus() const { return 128 + signal; }
};

// The handlers stay in for the whole run. A second signal ends the program at once (for a
// plug-in that hangs), removing the temporary output itself, with the first signal's status.
void installInterruptHandlers();

// The first signal to arrive, 0 before any; throwIfInterrupted throws Interrupted once there is one.
int arrivedSignal();
void throwIfInterrupted();

// While one lives, this thread takes none of the three signals: they wait until it is gone.
class HeldSignals {
public:
    HeldSignals();
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous;
};

// The temporary file a second signal removes; one at a time. These three under HeldSignals.
void trackTemporary(const char* path);
// Takes the temporary back from the handlers, for the caller to rename or remove: false when a
// handler on another thread has removed it already. releaseTemporary() once that is done.
bool claimTemporary();
void releaseTemporary();

} // namespace render
