// SPDX-License-Identifier: GPL-3.0-or-later
// Flush-to-zero and denormals-are-zero for the lifetime of the guard, then the caller's mode again.
// Decaying filter tails would otherwise run into denormal numbers, which are very slow on x86.
#pragma once

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define QUARVINE_HAS_MXCSR 1
#else
#define QUARVINE_HAS_MXCSR 0
#endif

namespace quarvine {

class DenormalGuard {
public:
#if QUARVINE_HAS_MXCSR
    static constexpr unsigned kFlushBits = 0x8040u; // FTZ (bit 15) and DAZ (bit 6)
    DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushBits); }
    ~DenormalGuard() { _mm_setcsr(saved); }
#else
    DenormalGuard() = default;
#endif
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
#if QUARVINE_HAS_MXCSR
    unsigned saved;
#endif
};

} // namespace quarvine
