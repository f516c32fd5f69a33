// SPDX-License-Identifier: GPL-3.0-or-later
#include "wav_decoder.h"

#include "byte_reader.h"
#include "chunk_scan.h"
#include "ir_shape.h"
#include "pcm_samples.h"

#include <algorithm>
#include <array>
#include <string>

namespace quarvine {
namespace {

constexpr uint32_t kFormatPcm = 1;
constexpr uint32_t kFormatFloat = 3;
constexpr uint32_t kFormatExtensible = 0xFFFE;
// The sub-format GUID after its first two bytes, which hold the plain format tag.
constexpr std::array<unsigned char, 14> kGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                     0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct WavFormat {
    uint32_t tag = 0;
    int channels = 0;
    uint32_t sampleRate = 0;
    int bits = 0;
};

bool readFormat(std::span<const unsigned char> body, WavFormat& format)
{
    ByteReader r(body);
    format.tag = r.u16le();
    format.channels = static_cast<int>(r.u16le());
    format.sampleRate = r.u32le();
    r.skip(6); // bytes per second and block align: both follow from the rest
    format.bits = static_cast<int>(r.u16le());
    if (r.overrun())
        return false;
    if (format.tag == kFormatExtensible) {
        r.skip(8); // extension size, valid bits (the container's scale serves), channel mask
        const uint32_t subFormat = r.u16le();
        const std::span<const unsigned char> tail = r.take(kGuidTail.size());
        if (r.overrun())
            return false;
        format.tag = std::equal(tail.begin(), tail.end(), kGuidTail.begin()) ? subFormat : kFormatExtensible;
    }
    return true;
}

} // namespace

IrLoad decodeWav(std::span<const unsigned char> bytes)
{
    const FoundChunks chunks = findChunks(bytes.subspan(12), false, fourCc("fmt "), fourCc("data"));
    if (chunks.cutShort || (chunks.haveFormat != chunks.haveSound))
        return refused(kTruncated);
    if (!chunks.haveFormat)
        return refused("a WAV file without sound");
    const std::span<const unsigned char> data = chunks.sound;

    WavFormat format;
    if (!readFormat(chunks.format, format) || format.channels < 1 || format.bits < 1)
        return refused("a damaged WAV format chunk");
    PcmLayout layout;
    layout.channels = format.channels;
    layout.bytesPerSample = (format.bits + 7) / 8;
    if (format.tag == kFormatPcm)
        layout.coding = format.bits <= 8 ? SampleCoding::UnsignedInteger : SampleCoding::SignedInteger;
    else if (format.tag == kFormatFloat)
        layout.coding = SampleCoding::Float;
    else
        return refused("a WAV encoding not supported (format " + std::to_string(format.tag) + ")");

    const std::string why = refuseShape(format.channels, format.sampleRate, data.size() / layout.frameBytes());
    if (!why.empty())
        return refused(why);
    if (!isReadableLayout(layout))
        return refused("a WAV sample size not supported (" + std::to_string(format.bits) + " bits)");

    ImpulseResponseFile ir;
    ir.sampleRate = format.sampleRate;
    ir.sourceChannels = format.channels;
    ir.samples = mixToMono(data, data.size() / layout.frameBytes(), layout);
    return IrLoad{std::move(ir), {}};
}

} // namespace quarvine
