// SPDX-License-Identifier: GPL-3.0-or-later
// Arithmetic helpers of the fast chain: a multiply-add that fuses where the build has FMA, Estrin's
// scheme for polynomials, and an inline exp accurate to a few units in the last place.
#pragma once

#include <cmath>
#include <cstdint>

namespace quarvine::QUARVINE_FAST_VARIANT::fastmath {
// Internal linkage: an unoptimised build emits these as out-of-line copies, and a copy shared
// between the instruction-set builds would be whichever one the linker met first.
namespace {

// std::isfinite and std::bit_cast are the library's shared inline functions: the builtins expand in
// place.
inline bool isFinite(double x)
{
    return __builtin_isfinite(x);
}

// a*b + c: one rounding with FMA (the dispatched build), two without (the SSE2 baseline).
inline double madd(double a, double b, double c)
{
#if defined(__FMA__)
    return std::fma(a, b, c);
#else
    return a * b + c;
#endif
}

namespace detail {

constexpr int lowerHalf(int terms) // the largest power of two below terms
{
    int half = 1;
    while (2 * half < terms)
        half *= 2;
    return half;
}

constexpr int log2Of(int powerOfTwo)
{
    int level = 0;
    while ((1 << level) < powerOfTwo)
        ++level;
    return level;
}

// c[B] + c[B+1] x + ... + c[B+L-1] x^(L-1), with powers[k] = x^(2^k).
template <int B, int L>
inline double estrinRange(const double* c, const double* powers)
{
    if constexpr (L == 1) {
        return c[B];
    } else {
        constexpr int half = lowerHalf(L);
        return madd(estrinRange<B + half, L - half>(c, powers), powers[log2Of(half)], estrinRange<B, half>(c, powers));
    }
}

} // namespace detail

// Polynomial c[0] + c[1] x + ... + c[N-1] x^(N-1) by Estrin's scheme: pairs, then pairs of pairs,
// so the dependency chain grows with log2(N) rather than N as with Horner's rule.
template <int N>
inline double estrin(const double (&c)[N], double x)
{
    static_assert(N >= 1 && N <= 32);
    double powers[5];
    powers[0] = x;
    for (int k = 1; k < 5; ++k)
        powers[k] = powers[k - 1] * powers[k - 1];
    return detail::estrinRange<0, N>(c, powers);
}

// e^x for the two shapers. Range reduction x = n ln2 + r with |r| <= ln2/2 (ln2 in two parts),
// e^r by its Taylor series to r^12 (truncation below 2e-16 relative), 2^n built in the exponent
// field. Arguments are clamped to +-708, where the shapers' tanh has long reached +-1; a NaN passes
// through the clamps (comparisons with it are false) and comes out as NaN.
inline double exp(double x)
{
    x = x > 708.0 ? 708.0 : x;
    x = x < -708.0 ? -708.0 : x;
    constexpr double kShifter = 0x1.8p52; // adding it rounds to an integer in the low mantissa bits
    constexpr double kLog2e = 1.4426950408889634;
    constexpr double kLn2High = 6.93147180369123816490e-01; // ln 2 with 21 trailing zero bits: n*kLn2High is exact
    constexpr double kLn2Low = 1.90821492927058770002e-10;  // the rest of ln 2
    const double shifted = madd(x, kLog2e, kShifter);
    const double n = shifted - kShifter;
    double r = madd(-n, kLn2High, x);
    r = madd(-n, kLn2Low, r);
    static constexpr double kTaylor[13] = {1.0,
                                           1.0,
                                           1.0 / 2.0,
                                           1.0 / 6.0,
                                           1.0 / 24.0,
                                           1.0 / 120.0,
                                           1.0 / 720.0,
                                           1.0 / 5040.0,
                                           1.0 / 40320.0,
                                           1.0 / 362880.0,
                                           1.0 / 3628800.0,
                                           1.0 / 39916800.0,
                                           1.0 / 479001600.0};
    const double er = estrin(kTaylor, r);
    // The low bits of shifted hold n; n + 1023 shifted into the exponent field is 2^n.
    const std::uint64_t bits = __builtin_bit_cast(std::uint64_t, shifted);
    const double scale = __builtin_bit_cast(double, (bits + 1023u) << 52);
    return er * scale;
}

} // namespace
} // namespace quarvine::QUARVINE_FAST_VARIANT::fastmath
