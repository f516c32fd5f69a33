// SPDX-License-Identifier: GPL-3.0-or-later
// A broken promise found by a fuzz target: say which, then abort, so that libFuzzer keeps the input
// as a crash and the replay program fails.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                                         \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition);             \
            std::fprintf(stderr, __VA_ARGS__);                                                             \
            std::fputc('\n', stderr);                                                                      \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)
