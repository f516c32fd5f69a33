// SPDX-License-Identifier: GPL-3.0-or-later
// Counts heap and lock operations made by one thread while it is marked as inside the audio
// callback. The counting functions replace the C library's for the whole validator process.
#pragma once

#include <cstddef>

namespace validate {

struct GuardCounts {
    std::size_t allocations = 0;  // malloc, calloc, realloc, aligned forms, operator new
    std::size_t frees = 0;
    std::size_t locks = 0;        // pthread_mutex_lock: may wait for another thread
    std::size_t tryLocks = 0;     // pthread_mutex_trylock: never waits
};

// False in sanitizer builds, whose run-time owns malloc.
bool allocationGuardAvailable();

// Marks the calling thread as running audio until destroyed; counts accumulate into `counts`.
class AudioSection {
public:
    explicit AudioSection(GuardCounts& counts);
    ~AudioSection();
    AudioSection(const AudioSection&) = delete;
    AudioSection& operator=(const AudioSection&) = delete;
};

// While alive, the calling thread's operations are not counted (the host's own work inside a
// host callback the plug-in made).
class GuardPause {
public:
    GuardPause();
    ~GuardPause();
    GuardPause(const GuardPause&) = delete;
    GuardPause& operator=(const GuardPause&) = delete;

private:
    GuardCounts* saved;
};

// For vsthost::setCallbackObserver: stops counting inside host callbacks (nestable).
void hostCallbackObserver(bool entering);

} // namespace validate
