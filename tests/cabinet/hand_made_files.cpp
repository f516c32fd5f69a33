// SPDX-License-Identifier: GPL-3.0-or-later
#include "hand_made_files.h"

namespace cabinet_test {

Bytes& Bytes::tag(const char* fourCharacters)
{
    bytes.insert(bytes.end(), fourCharacters, fourCharacters + 4);
    return *this;
}

Bytes& Bytes::little(uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return *this;
}

Bytes& Bytes::big(uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return *this;
}

Bytes& Bytes::raw(const std::vector<unsigned char>& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

std::vector<unsigned char> pcm16MonoWav(uint32_t rate, const std::vector<int16_t>& samples)
{
    const auto dataBytes = static_cast<uint32_t>(2 * samples.size());
    Bytes wav;
    wav.tag("RIFF").little(36 + dataBytes, 4).tag("WAVE");
    wav.tag("fmt ").little(16, 4).little(1, 2).little(1, 2).little(rate, 4).little(2 * rate, 4).little(2, 2).little(16, 2);
    wav.tag("data").little(dataBytes, 4);
    for (int16_t sample : samples)
        wav.little(static_cast<uint16_t>(sample), 2);
    return wav.bytes;
}

Bits& Bits::put(uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        if (used == 8) {
            bytes.push_back(0);
            used = 0;
        }
        bytes.back() = static_cast<unsigned char>(bytes.back() | ((value >> i) & 1u) << (7 - used));
        ++used;
    }
    return *this;
}

Bits& Bits::rice(int64_t residual, int parameter)
{
    const uint64_t folded = residual >= 0 ? static_cast<uint64_t>(residual) * 2 : static_cast<uint64_t>(-residual) * 2 - 1;
    for (uint64_t q = folded >> parameter; q > 0; --q)
        put(0, 1);
    return put(1, 1).put(folded, parameter);
}

Bits& Bits::alignToByte()
{
    used = 8;
    return *this;
}

std::vector<unsigned char> flacStreamHeader(uint32_t rate, int channels, int bitsPerSample, uint64_t totalFrames)
{
    Bits info;
    info.put(16, 16).put(65535, 16).put(0, 24).put(0, 24); // block and frame size bounds
    info.put(rate, 20).put(static_cast<uint64_t>(channels - 1), 3).put(static_cast<uint64_t>(bitsPerSample - 1), 5);
    info.put(totalFrames, 36).put(0, 64).put(0, 64); // no MD5 signature
    return Bytes().tag("fLaC").big(0x80, 1).big(info.bytes.size(), 3).raw(info.bytes).bytes;
}

WideFlac wideMidSideFlac()
{
    Bits frame;
    // Sync; block size from the byte after the frame number; the stream's rate; mid/side; 32 bits.
    frame.put(0x3FFE, 14).put(0, 2).put(6, 4).put(0, 4).put(10, 4).put(7, 3).put(0, 1).put(0, 8).put(4 - 1, 8);
    frame.put(flacCrc(frame.bytes, 8, 0x07), 8);
    frame.put(0, 1).put(1, 6).put(0, 1); // mid: verbatim
    const size_t midSamples = frame.bytes.size();
    for (size_t i = 0; i < 4; ++i)
        frame.putSigned((kWideLeft[i] + kWideRight[i]) >> 1, 32);
    // Side: fixed order 1 from 2^32 - 1, residuals -100000 (raw in 18 bits), 10 and -6 (Rice, parameter 3).
    frame.put(0, 1).put(8 + 1, 6).put(0, 1).putSigned(kWideLeft[0] - kWideRight[0], 33);
    frame.put(0, 2).put(1, 4).put(15, 4).put(18, 5).putSigned(-100000, 18).put(3, 4).rice(10, 3).rice(-6, 3);
    frame.alignToByte();
    frame.put(flacCrc(frame.bytes, 16, 0x8005), 16);

    WideFlac flac{flacStreamHeader(48000, 2, 32, 4), 0, 0};
    flac.frameNumberAt = flac.bytes.size() + 4;
    flac.midSamplesAt = flac.bytes.size() + midSamples;
    flac.bytes.insert(flac.bytes.end(), frame.bytes.begin(), frame.bytes.end());
    return flac;
}

unsigned flacCrc(const std::vector<unsigned char>& bytes, int width, unsigned polynomial)
{
    const unsigned top = 1u << (width - 1), mask = (1u << width) - 1;
    unsigned crc = 0;
    for (unsigned char byte : bytes)
        for (int bit = 7; bit >= 0; --bit) {
            const bool feedback = ((crc & top) != 0) != (((byte >> bit) & 1) != 0);
            crc = ((crc << 1) ^ (feedback ? polynomial : 0u)) & mask;
        }
    return crc;
}

} // namespace cabinet_test
