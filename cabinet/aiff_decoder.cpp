// SPDX-License-Identifier: GPL-3.0-or-later
#include "aiff_decoder.h"

#include "byte_reader.h"
#include "chunk_scan.h"
#include "ir_shape.h"
#include "pcm_samples.h"

#include <cmath>
#include <limits>
#include <string>

namespace quarvine {

double extendedToDouble(std::span<const unsigned char, 10> bytes)
{
    // A sign bit, a 15-bit exponent biased by 16383, and a 64-bit significand whose top bit is the
    // integer part (explicit, unlike in float and double).
    const int exponent = (bytes[0] & 0x7F) << 8 | bytes[1];
    uint64_t significand = 0;
    for (size_t i = 2; i < 10; ++i)
        significand = significand << 8 | bytes[i];
    if (exponent == 0x7FFF)
        return std::numeric_limits<double>::quiet_NaN();
    const double magnitude = std::ldexp(static_cast<double>(significand), exponent - 16383 - 63);
    return (bytes[0] & 0x80) ? -magnitude : magnitude;
}

namespace {

struct CommonChunk {
    int channels = 0;
    uint32_t frames = 0;
    int sampleSize = 0;
    double sampleRate = 0;
    uint32_t compression = fourCc("NONE");
};

bool readCommon(std::span<const unsigned char> body, bool compressed, CommonChunk& common)
{
    ByteReader r(body);
    common.channels = static_cast<int16_t>(r.u16be());
    common.frames = r.u32be();
    common.sampleSize = static_cast<int16_t>(r.u16be());
    const std::span<const unsigned char> rate = r.take(10);
    if (compressed)
        common.compression = r.tag(); // the encoding's printable name after it is not needed
    if (r.overrun())
        return false;
    common.sampleRate = extendedToDouble(rate.first<10>());
    return true;
}

// The sample layout an AIFF-C encoding names; false for the encodings not read here.
bool layoutOf(const CommonChunk& common, PcmLayout& layout)
{
    layout.channels = common.channels;
    layout.bigEndian = true;
    layout.coding = SampleCoding::SignedInteger;
    layout.bytesPerSample = (common.sampleSize + 7) / 8;
    switch (common.compression) {
    case fourCc("NONE"):
    case fourCc("twos"):
        return true;
    case fourCc("sowt"):
        layout.bigEndian = false;
        return true;
    case fourCc("fl32"):
    case fourCc("FL32"):
        layout.coding = SampleCoding::Float;
        layout.bytesPerSample = 4;
        return true;
    case fourCc("fl64"):
    case fourCc("FL64"):
        layout.coding = SampleCoding::Float;
        layout.bytesPerSample = 8;
        return true;
    default:
        return false;
    }
}

std::string printable(uint32_t tag)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>(tag >> shift & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

} // namespace

IrLoad decodeAiff(std::span<const unsigned char> bytes)
{
    const bool compressed = ByteReader(bytes.subspan(8)).tag() == fourCc("AIFC");
    // The sound chunk may run past a file cut short: the frame count says what is needed of it.
    const FoundChunks chunks = findChunks(bytes.subspan(12), true, fourCc("COMM"), fourCc("SSND"));
    CommonChunk common;
    if (!chunks.haveFormat)
        return refused(chunks.haveSound ? "an AIFF file without its format chunk" : kTruncated);
    if (!readCommon(chunks.format, compressed, common))
        return refused("a damaged AIFF format chunk");
    PcmLayout layout;
    if (!layoutOf(common, layout))
        return refused("an AIFF-C encoding not supported ('" + printable(common.compression) + "')");
    if (common.sampleSize < 1)
        return refused("a damaged AIFF format chunk");
    // Before the sound is looked at: the frame count is the header's word.
    const std::string why = refuseShape(common.channels, common.sampleRate, common.frames);
    if (!why.empty())
        return refused(why);
    if (!isReadableLayout(layout))
        return refused("an AIFF sample size not supported (" + std::to_string(common.sampleSize) + " bits)");

    ByteReader sound(chunks.sound);
    const uint32_t offset = sound.u32be();
    sound.skip(4); // the block size, for aligned writing only
    sound.skip(offset);
    const size_t needed = static_cast<size_t>(common.frames) * layout.frameBytes();
    const std::span<const unsigned char> samples = sound.take(needed);
    if (!chunks.haveSound || sound.overrun())
        return refused(kTruncated);

    ImpulseResponseFile ir;
    ir.sampleRate = common.sampleRate;
    ir.sourceChannels = common.channels;
    ir.samples = mixToMono(samples, common.frames, layout);
    return IrLoad{std::move(ir), {}};
}

} // namespace quarvine
