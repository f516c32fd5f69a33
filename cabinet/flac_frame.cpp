// SPDX-License-Identifier: GPL-3.0-or-later
#include "flac_frame.h"

#include "flac_crc.h"

#include <bit>

namespace quarvine {
namespace {

// The sync code's 14 bits and the reserved bit after them, which is 0.
constexpr uint64_t kSync = 0x7FFC;

enum ChannelCode : unsigned { kLeftSide = 8, kSideRight = 9, kMidSide = 10 };

// Samples per channel from the header's 4-bit code (section 9.1.1); 0 for the reserved code.
size_t blockSizeOf(unsigned code, BitReader& r)
{
    if (code == 1)
        return 192;
    if (code >= 2 && code <= 5)
        return size_t{576} << (code - 2);
    if (code == 6)
        return r.bits(8) + 1;
    if (code == 7)
        return r.bits(16) + 1;
    if (code >= 8)
        return size_t{256} << (code - 8);
    return 0;
}

// The frame or sample number, coded like UTF-8 stretched to 36 bits (section 9.1.5): checked for
// shape only, as the frames are read in order anyway.
bool skipCodedNumber(BitReader& r)
{
    const int leadingOnes = std::countl_one(static_cast<unsigned char>(r.bits(8)));
    if (leadingOnes == 1 || leadingOnes > 7)
        return false;
    for (int i = 1; i < leadingOnes; ++i)
        if ((r.bits(8) & 0xC0) != 0x80)
            return false;
    return true;
}

int bitsPerSampleOf(unsigned code, const FlacStreamInfo& info)
{
    constexpr int kBits[8] = {0, 8, 12, 0, 16, 20, 24, 32};
    return code == 0 ? info.bitsPerSample : kBits[code];
}

// Left and right from the coded pair (section 4.2): the side channel is left - right, and mid is
// (left + right) >> 1, whose lost lowest bit is the side's.
void undoDecorrelation(unsigned code, FlacFrame& frame)
{
    std::vector<int64_t>& a = frame.channels[0];
    std::vector<int64_t>& b = frame.channels[1];
    for (size_t i = 0; i < frame.blockSize; ++i) {
        if (code == kLeftSide) {
            b[i] = a[i] - b[i];
        } else if (code == kSideRight) {
            a[i] += b[i];
        } else if (code == kMidSide) {
            const int64_t mid = a[i] * 2 + (b[i] & 1), side = b[i];
            a[i] = (mid + side) >> 1;
            b[i] = (mid - side) >> 1;
        }
    }
}

// Reads the CRC-8 or CRC-16 stored next and compares it with the one of the bytes from start.
FlacStatus checkSum(BitReader& r, std::span<const unsigned char> stream, size_t start, int width)
{
    const std::span<const unsigned char> covered = stream.subspan(start, r.bytePosition() - start);
    const uint64_t stored = r.bits(width);
    if (r.overrun())
        return FlacStatus::Truncated;
    const unsigned computed = width == 8 ? flacCrc8(covered) : flacCrc16(covered);
    return stored == computed ? FlacStatus::Ok : FlacStatus::Corrupt;
}

} // namespace

bool flacFrameStartsAt(std::span<const unsigned char> stream, size_t offset)
{
    BitReader r(stream, offset);
    return r.bits(15) == kSync && !r.overrun();
}

FlacStatus decodeFlacFrame(std::span<const unsigned char> stream, size_t& offset, const FlacStreamInfo& info,
                           FlacFrame& frame)
{
    BitReader r(stream, offset);
    if (r.bits(15) != kSync)
        return r.overrun() ? FlacStatus::Truncated : FlacStatus::Corrupt;
    r.bits(1); // fixed or variable block sizes: the samples come in order either way
    const unsigned blockCode = static_cast<unsigned>(r.bits(4));
    const unsigned rateCode = static_cast<unsigned>(r.bits(4));
    const unsigned channelCode = static_cast<unsigned>(r.bits(4));
    const unsigned depthCode = static_cast<unsigned>(r.bits(3));
    const bool reserved = r.bits(1) != 0;
    if (!skipCodedNumber(r) || reserved)
        return r.overrun() ? FlacStatus::Truncated : FlacStatus::Corrupt;
    frame.blockSize = blockSizeOf(blockCode, r);
    // The stream's rate is STREAMINFO's; a frame's own is skipped over.
    if (rateCode == 12)
        r.bits(8);
    else if (rateCode == 13 || rateCode == 14)
        r.bits(16);
    if (const FlacStatus status = checkSum(r, stream, offset, 8); status != FlacStatus::Ok)
        return status;

    const int channels = channelCode < 8 ? static_cast<int>(channelCode) + 1 : 2;
    const int bits = bitsPerSampleOf(depthCode, info);
    if (frame.blockSize == 0 || rateCode == 15 || channelCode > kMidSide || channels != info.channels ||
        bits != info.bitsPerSample)
        return FlacStatus::Corrupt;

    for (int c = 0; c < channels; ++c) {
        const bool side = (c == 1 && (channelCode == kLeftSide || channelCode == kMidSide)) ||
                          (c == 0 && channelCode == kSideRight);
        std::vector<int64_t>& samples = frame.channels[static_cast<size_t>(c)];
        samples.resize(frame.blockSize);
        const FlacStatus status = decodeSubframe(r, bits + (side ? 1 : 0), samples);
        if (status != FlacStatus::Ok)
            return status;
    }
    r.alignToByte();
    if (const FlacStatus status = checkSum(r, stream, offset, 16); status != FlacStatus::Ok)
        return status;
    if (channels == 2)
        undoDecorrelation(channelCode, frame);
    offset = r.bytePosition();
    return FlacStatus::Ok;
}

} // namespace quarvine
