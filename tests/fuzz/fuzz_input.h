// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a fuzzer's bytes as a script of choices. An exhausted input reads as zeros, so every
// prefix of an input is itself a valid script and libFuzzer can shrink inputs freely.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool empty() const { return offset >= size; }
    size_t remaining() const { return offset < size ? size - offset : 0; }

    uint8_t byte() { return offset < size ? data[offset++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
    bool flag() { return byte() & 1u; }

    // A value in [0, count).
    uint32_t below(uint32_t count) { return count == 0 ? 0 : u32() % count; }
    // A value in [lowest, highest].
    int32_t between(int32_t lowest, int32_t highest)
    {
        return lowest + static_cast<int32_t>(below(static_cast<uint32_t>(highest - lowest) + 1u));
    }

    // A float in [0, 1], the ends included, on a grid of 1/65535.
    float unit() { return static_cast<float>(u16()) / 65535.0f; }

    // Any bit pattern: NaNs, infinities, subnormals and huge values come with it.
    float anyFloat()
    {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Mostly inside [0, 1]; sometimes the values hosts get wrong.
    float parameterValue()
    {
        static constexpr float kAwkward[] = {0.0f,
                                             1.0f,
                                             0.5f,
                                             -0.0f,
                                             -1e-7f,
                                             1.0000001f,
                                             -1.0f,
                                             2.0f,
                                             1e30f,
                                             -1e30f,
                                             std::numeric_limits<float>::max(),
                                             std::numeric_limits<float>::denorm_min(),
                                             std::numeric_limits<float>::infinity(),
                                             -std::numeric_limits<float>::infinity(),
                                             std::numeric_limits<float>::quiet_NaN()};
        switch (byte() % 4) {
        case 0:
            return kAwkward[below(sizeof kAwkward / sizeof kAwkward[0])];
        case 1:
            return anyFloat();
        default:
            return unit();
        }
    }

    // Copies up to count bytes of the input; returns how many it copied.
    size_t bytes(void* destination, size_t count)
    {
        const size_t n = count < remaining() ? count : remaining();
        if (n != 0)
            std::memcpy(destination, data + offset, n);
        offset += n;
        return n;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t offset = 0;
};

inline bool insideUnitRange(float value)
{
    return value >= 0.0f && value <= 1.0f;
}

} // namespace fuzz
