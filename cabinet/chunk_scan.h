// SPDX-License-Identifier: GPL-3.0-or-later
// The chunks of a RIFF (WAV) or FORM (AIFF) file: the first format chunk and the first sound chunk,
// whatever their order, the others skipped with their pad bytes.
#pragma once

#include <cstdint>
#include <span>

namespace quarvine {

struct FoundChunks {
    std::span<const unsigned char> format, sound;
    bool haveFormat = false, haveSound = false;
    bool cutShort = false; // a chunk claimed more bytes than the file has left: its body is the rest
};

// chunks starts at the first chunk's identifier; sizes are big-endian in AIFF, little in WAV.
FoundChunks findChunks(std::span<const unsigned char> chunks, bool bigEndian, uint32_t formatId, uint32_t soundId);

} // namespace quarvine
