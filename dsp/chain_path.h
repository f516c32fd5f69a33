// Which build of the fast chain runs: the SSE2 baseline every x86 processor has, or the build for
// processors with AVX2 and FMA. Chosen from the processor's features when a model is made.
#pragma once

namespace quarvine {

enum class ChainPath : int { baseline, avx2 };

// True when this binary contains the path and the processor can run it.
bool chainPathAvailable(ChainPath path);

// The fastest available path.
ChainPath fastestChainPath();

} // namespace quarvine
