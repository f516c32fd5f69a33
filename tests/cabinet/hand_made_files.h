// SPDX-License-Identifier: GPL-3.0-or-later
// Files built byte by byte, for what libsndfile does not write: odd chunks, hostile headers, and
// FLAC frames with escaped residuals or 32-bit samples.
#pragma once

#include <cstddef>
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

// A mono 16-bit PCM WAV of these samples, the plainest file a player would drop.
std::vector<unsigned char> pcm16MonoWav(uint32_t rate, const std::vector<int16_t>& samples);

// "fLaC" and a STREAMINFO block, the only metadata block and so the last.
std::vector<unsigned char> flacStreamHeader(uint32_t rate, int channels, int bitsPerSample, uint64_t totalFrames);

// A 32-bit stereo FLAC stream at 48 kHz of one mid/side frame of these four samples: the side
// channel needs 33 bits, and its residual has a partition stored raw (escaped), which libFLAC
// never writes, and one Rice-coded.
inline constexpr int64_t kWideLeft[4] = {2147483647, 2147433647, 2147433657, 2147433652};
inline constexpr int64_t kWideRight[4] = {-2147483648, -2147433648, -2147433648, -2147433647};
struct WideFlac {
    std::vector<unsigned char> bytes;
    size_t frameNumberAt = 0; // the byte of the frame's number, which the decoder does not use
    size_t midSamplesAt = 0;  // the first byte of the mid channel's verbatim samples
};
WideFlac wideMidSideFlac();

// CRC-8 (polynomial 0x07) and CRC-16 (0x8005) computed bit by bit, most significant first.
unsigned flacCrc(const std::vector<unsigned char>& bytes, int width, unsigned polynomial);

} // namespace cabinet_test
