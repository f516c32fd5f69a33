// SPDX-License-Identifier: GPL-3.0-or-later
// The checksums that guard each FLAC frame: CRC-8 (polynomial x^8 + x^2 + x + 1) over the frame
// header, CRC-16 (x^16 + x^15 + x^2 + 1) over the whole frame; both start at zero, most significant
// bit first, without a final inversion.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quarvine {

namespace flac_crc_detail {

template <typename Word, unsigned Polynomial> constexpr std::array<Word, 256> table()
{
    constexpr unsigned top = sizeof(Word) * 8 - 8;
    std::array<Word, 256> entries{};
    for (unsigned i = 0; i < 256; ++i) {
        Word crc = static_cast<Word>(i << top);
        for (int k = 0; k < 8; ++k)
            crc = static_cast<Word>((crc & (Word{1} << (top + 7))) ? (crc << 1) ^ Polynomial : crc << 1);
        entries[i] = crc;
    }
    return entries;
}

template <typename Word, unsigned Polynomial> Word compute(std::span<const unsigned char> bytes)
{
    static constexpr std::array<Word, 256> entries = table<Word, Polynomial>();
    constexpr unsigned top = sizeof(Word) * 8 - 8;
    Word crc = 0;
    for (unsigned char b : bytes)
        crc = static_cast<Word>(crc << 8) ^ entries[((crc >> top) ^ b) & 0xFF];
    return crc;
}

} // namespace flac_crc_detail

inline uint8_t flacCrc8(std::span<const unsigned char> bytes)
{
    return flac_crc_detail::compute<uint8_t, 0x07>(bytes);
}

inline uint16_t flacCrc16(std::span<const unsigned char> bytes)
{
    return flac_crc_detail::compute<uint16_t, 0x8005>(bytes);
}

} // namespace quarvine
