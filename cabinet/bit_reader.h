// SPDX-License-Identifier: GPL-3.0-or-later
// Most-significant-bit-first reading of a FLAC frame, bounds-checked: a read past the end returns
// zeros and leaves the reader overrun, which the frame's decoder checks once per subframe.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quarvine {

class BitReader {
public:
    explicit BitReader(std::span<const unsigned char> bytes, size_t startByte = 0) : bytes(bytes), byte(startByte) {}

    bool overrun() const { return failed; }
    size_t bytePosition() const { return byte; }
    bool byteAligned() const { return bit == 0; }

    // count bits, 0 to 64, as an unsigned number.
    uint64_t bits(int count)
    {
        uint64_t value = 0;
        while (count > 0) {
            if (byte >= bytes.size()) {
                failed = true;
                return 0;
            }
            const int left = 8 - bit;
            const int n = count < left ? count : left;
            const unsigned part = (bytes[byte] >> (left - n)) & ((1u << n) - 1u);
            value = value << n | part;
            count -= n;
            bit += n;
            if (bit == 8) {
                bit = 0;
                ++byte;
            }
        }
        return value;
    }

    // count bits, 0 to 64, as a two's complement number.
    int64_t signedBits(int count)
    {
        if (count == 0)
            return 0;
        const uint64_t raw = bits(count);
        return static_cast<int64_t>(raw << (64 - count)) >> (64 - count);
    }

    // The number of 0 bits before the next 1 bit, which is read too; stops counting (overrun or
    // not) past limit.
    uint64_t unary(uint64_t limit)
    {
        uint64_t zeros = 0;
        while (byte < bytes.size()) {
            const unsigned rest = static_cast<unsigned>(bytes[byte] << bit) & 0xFFu;
            if (rest == 0) {
                zeros += static_cast<unsigned>(8 - bit);
                bit = 0;
                ++byte;
                if (zeros > limit)
                    return zeros;
                continue;
            }
            const int leading = std::countl_zero(static_cast<unsigned char>(rest));
            zeros += static_cast<unsigned>(leading);
            bit += leading + 1;
            if (bit == 8) {
                bit = 0;
                ++byte;
            }
            return zeros;
        }
        failed = true;
        return zeros;
    }

    void alignToByte()
    {
        if (bit != 0) {
            bit = 0;
            ++byte;
        }
    }

private:
    std::span<const unsigned char> bytes;
    size_t byte = 0;
    int bit = 0;
    bool failed = false;
};

} // namespace quarvine
