// SPDX-License-Identifier: GPL-3.0-or-later
// SplitMix64: a tiny generator that gives the same numbers on every platform and library,
// unlike the standard distributions, so that seeded runs repeat exactly.
#pragma once

#include <cstdint>

namespace tools {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 bits.
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state;
};

} // namespace tools
