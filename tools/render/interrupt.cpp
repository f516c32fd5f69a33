// SPDX-License-Identifier: GPL-3.0-or-later
#include "interrupt.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace render {

namespace {

// What the handlers touch: lock-free atomics and a fixed buffer, nothing else.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> pendingSignal{0};

// kBusy: the main thread is renaming or removing the temporary; a handler on another thread waits
// it out, since leaving meanwhile could strand the file.
enum TemporaryState : int { kNone, kTracked, kBusy, kRemovedByHandler };
std::atomic<int> temporaryState{kNone};
char temporaryPath[PATH_MAX];

void writeMessage(const char* text)
{
    ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void onSignal(int signal)
{
    int first = 0;
    if (pendingSignal.compare_exchange_strong(first, signal))
        return;
    for (;;) {
        int state = kTracked;
        if (temporaryState.compare_exchange_strong(state, kRemovedByHandler)) {
            ::unlink(temporaryPath);
            break;
        }
        if (state != kBusy)
            break;
    }
    writeMessage("quarvine-render: stopped at once by a second signal; the output is not written\n");
    ::_exit(128 + first);
}

sigset_t handledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
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
    action.sa_handler = onSignal;
    // One handler at a time on a thread; another thread's runs are ordered by the atomics.
    action.sa_mask = handledSignals();
    // Restarted calls: libsndfile does not retry a read that a signal cut short.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int arrivedSignal()
{
    return pendingSignal.load();
}

void throwIfInterrupted()
{
    if (int signal = arrivedSignal())
        throw Interrupted(signal);
}

HeldSignals::HeldSignals()
{
    const sigset_t held = handledSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous);
}

HeldSignals::~HeldSignals()
{
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void trackTemporary(const char* path)
{
    // A path too long for the buffer stays untracked: the normal clean-up still removes it.
    if (std::strlen(path) >= sizeof temporaryPath)
        return;
    std::strcpy(temporaryPath, path);
    temporaryState.store(kTracked);
}

bool claimTemporary()
{
    int state = kTracked;
    return temporaryState.compare_exchange_strong(state, kBusy) || state == kNone;
}

void releaseTemporary()
{
    int state = kBusy;
    temporaryState.compare_exchange_strong(state, kNone);
}

} // namespace render
