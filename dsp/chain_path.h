// SPDX-License-Identifier: GPL-3.0-or-later
// Which build of the fast chain runs: the SSE2 baseline every x86 processor has, the build for
// processors with AVX2 and FMA, or the one that adds AVX-512 (twice the registers, which the
// chain's many coefficients fill). Chosen from the processor's features when a model is made.
#pragma once

#include <cstdint>

namespace quarvine {

// Eight bytes wide, as the doubles around it in CircuitModel: no padding (models are compared byte
// for byte).
enum class ChainPath : std::int64_t { baseline, avx2, avx512 };

inline constexpr ChainPath kAllChainPaths[] = {ChainPath::baseline, ChainPath::avx2, ChainPath::avx512};

// True when this binary contains the path and the processor can run it.
bool chainPathAvailable(ChainPath path);

// The fastest available path.
ChainPath fastestChainPath();

} // namespace quarvine
