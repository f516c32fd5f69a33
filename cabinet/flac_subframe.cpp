// SPDX-License-Identifier: GPL-3.0-or-later
#include "flac_subframe.h"

#include <array>

namespace quarvine {
namespace {

constexpr int kMaxLpcOrder = 32;
// A residual is a 32-bit two's complement number other than the most negative, so its zigzag
// fold is below 2^32.
constexpr uint64_t kFoldedLimit = uint64_t{1} << 32;

bool fits(int64_t value, int bits)
{
    const int64_t half = int64_t{1} << (bits - 1);
    return value >= -half && value < half;
}

// The residual of samples [order, size), partitioned and Rice-coded (section 9.2.7).
FlacStatus readResidual(BitReader& r, size_t order, std::span<int64_t> out)
{
    const uint64_t method = r.bits(2);
    if (method > 1)
        return FlacStatus::Corrupt;
    const int parameterBits = method == 0 ? 4 : 5;
    const uint64_t escape = (uint64_t{1} << parameterBits) - 1;
    const int partitionOrder = static_cast<int>(r.bits(4));
    const size_t perPartition = out.size() >> partitionOrder;
    if (perPartition << partitionOrder != out.size() || perPartition < order)
        return FlacStatus::Corrupt;
    size_t i = order;
    for (size_t end = perPartition; end <= out.size(); end += perPartition) {
        const uint64_t parameter = r.bits(parameterBits);
        if (parameter == escape) {
            // Unencoded: each residual as a two's complement number of the given width.
            const int width = static_cast<int>(r.bits(5));
            for (; i < end; ++i)
                out[i] = r.signedBits(width);
        } else {
            const uint64_t quotientLimit = kFoldedLimit >> parameter;
            for (; i < end; ++i) {
                const uint64_t quotient = r.unary(quotientLimit);
                if (quotient >= quotientLimit)
                    return r.overrun() ? FlacStatus::Truncated : FlacStatus::Corrupt;
                const uint64_t folded = quotient << parameter | r.bits(static_cast<int>(parameter));
                out[i] = static_cast<int64_t>(folded >> 1) ^ -static_cast<int64_t>(folded & 1);
            }
        }
        if (r.overrun())
            return FlacStatus::Truncated;
    }
    return FlacStatus::Ok;
}

// The fixed predictors of orders 0 to 4 (section 9.2.5), added to the residual in place.
bool restoreFixed(std::span<int64_t> s, size_t order, int bits)
{
    for (size_t i = order; i < s.size(); ++i) {
        int64_t prediction = 0;
        switch (order) {
        case 1:
            prediction = s[i - 1];
            break;
        case 2:
            prediction = 2 * s[i - 1] - s[i - 2];
            break;
        case 3:
            prediction = 3 * s[i - 1] - 3 * s[i - 2] + s[i - 3];
            break;
        case 4:
            prediction = 4 * s[i - 1] - 6 * s[i - 2] + 4 * s[i - 3] - s[i - 4];
            break;
        default:
            break;
        }
        s[i] += prediction;
        if (!fits(s[i], bits))
            return false;
    }
    return true;
}

// A linear predictor with quantised coefficients (section 9.2.6), added to the residual in place.
bool restoreLpc(std::span<int64_t> s, std::span<const int64_t> coefficients, int shift, int bits)
{
    const size_t order = coefficients.size();
    for (size_t i = order; i < s.size(); ++i) {
        int64_t sum = 0;
        for (size_t j = 0; j < order; ++j)
            sum += coefficients[j] * s[i - 1 - j];
        s[i] += sum >> shift;
        if (!fits(s[i], bits))
            return false;
    }
    return true;
}

FlacStatus readWarmUp(BitReader& r, int bits, std::span<int64_t> warmUp)
{
    for (int64_t& sample : warmUp)
        sample = r.signedBits(bits);
    return r.overrun() ? FlacStatus::Truncated : FlacStatus::Ok;
}

FlacStatus decodePredicted(BitReader& r, unsigned type, int bits, std::span<int64_t> out)
{
    const bool fixed = type < 32;
    const size_t order = fixed ? type - 8 : type - 31;
    if (order > out.size())
        return FlacStatus::Corrupt;
    if (const FlacStatus status = readWarmUp(r, bits, out.first(order)); status != FlacStatus::Ok)
        return status;
    std::array<int64_t, kMaxLpcOrder> coefficients{};
    int shift = 0;
    if (!fixed) {
        const int precision = static_cast<int>(r.bits(4)) + 1;
        shift = static_cast<int>(r.signedBits(5));
        if (precision == 16 || shift < 0)
            return FlacStatus::Corrupt;
        // Stored from the coefficient of the newest sample to the oldest's.
        for (size_t j = 0; j < order; ++j)
            coefficients[j] = r.signedBits(precision);
    }
    if (const FlacStatus status = readResidual(r, order, out); status != FlacStatus::Ok)
        return status;
    const bool restored = fixed ? restoreFixed(out, order, bits)
                                : restoreLpc(out, std::span<const int64_t>(coefficients).first(order), shift, bits);
    return restored ? FlacStatus::Ok : FlacStatus::Corrupt;
}

} // namespace

FlacStatus decodeSubframe(BitReader& r, int bitsPerSample, std::span<int64_t> out)
{
    if (r.bits(1) != 0)
        return FlacStatus::Corrupt;
    const unsigned type = static_cast<unsigned>(r.bits(6));
    // Wasted bits: zero low bits common to the whole subframe, coded in unary as their count - 1.
    int wasted = 0;
    if (r.bits(1) != 0) {
        const uint64_t more = r.unary(static_cast<uint64_t>(bitsPerSample));
        if (more + 1 >= static_cast<uint64_t>(bitsPerSample))
            return r.overrun() ? FlacStatus::Truncated : FlacStatus::Corrupt;
        wasted = static_cast<int>(more) + 1;
    }
    const int bits = bitsPerSample - wasted;

    FlacStatus status = FlacStatus::Ok;
    if (type == 0) {
        const int64_t value = r.signedBits(bits);
        for (int64_t& sample : out)
            sample = value;
    } else if (type == 1) {
        status = readWarmUp(r, bits, out);
    } else if ((type >= 8 && type <= 12) || type >= 32) {
        status = decodePredicted(r, type, bits, out);
    } else {
        return FlacStatus::Corrupt; // a reserved subframe type
    }
    if (r.overrun())
        return FlacStatus::Truncated;
    if (status != FlacStatus::Ok || wasted == 0)
        return status;
    for (int64_t& sample : out)
        sample *= int64_t{1} << wasted;
    return FlacStatus::Ok;
}

} // namespace quarvine
