// SPDX-License-Identifier: GPL-3.0-or-later
#include "interrupt.h"

#include <csignal>
#include <string>

namespace render {

namespace {

volatile std::sig_atomic_t pendingSignal = 0;

void recordSignal(int signal)
{
    pendingSignal = signal;
}

} // namespace

Interrupted::Interrupted(int signal)
    : std::runtime_error(signal == SIGINT ? "interrupted (SIGINT)" : "stopped (signal " + std::to_string(signal) + ")"),
      signal(signal)
{
}

void installInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: libsndfile does not retry a read that a signal cut short.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void throwIfInterrupted()
{
    if (int signal = pendingSignal)
        throw Interrupted(signal);
}

} // namespace render
