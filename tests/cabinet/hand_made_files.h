// SPDX-License-Identifier: GPL-3.0-or-later
// Files built byte by byte, for what libsndfile does not write: odd chunks, hostile headers, and
// FLAC frames with escaped residuals or 32-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabinet_test {

class Bytes {
public:
    Bytes& tag(const char* fourCharacters);
    Bytes& little(uint64_t value, int count);
    Bytes& big(uint64_t value, int count);
    Bytes& raw(const std::vector<unsigned char>& more);
    std::vector<unsigned char> bytes;
};

// Most significant bit first, as FLAC packs its fields.
class Bits {
public:
    Bits& put(uint64_t value, int count);
    Bits& putSigned(int64_t value, int count) { return put(static_cast<uint64_t>(value), count); }
    Bits& rice(int64_t residual, int parameter);
    Bits& alignToByte();
    std::vector<unsigned char> bytes;

private:
    int used = 8; // bits used in the last byte
};

// "fLaC" and a STREAMINFO block, the only metadata block and so the last.
std::vector<unsigned char> flacStreamHeader(uint32_t rate, int channels, int bitsPerSample, uint64_t totalFrames);

// CRC-8 (polynomial 0x07) and CRC-16 (0x8005) computed bit by bit, most significant first.
unsigned flacCrc(const std::vector<unsigned char>& bytes, int width, unsigned polynomial);

} // namespace cabinet_test
