// SPDX-License-Identifier: GPL-3.0-or-later
#include "flac_decoder.h"

#include "byte_reader.h"
#include "flac_frame.h"
#include "ir_shape.h"
#include "pcm_samples.h"

#include <cmath>

namespace quarvine {
namespace {

constexpr uint32_t kStreamInfo = 0;
constexpr uint32_t kForbiddenBlock = 127;
constexpr size_t kStreamInfoBytes = 34;
constexpr const char* kDamaged = "damaged FLAC data (a frame fails its checks)";

FlacStreamInfo readStreamInfo(std::span<const unsigned char> body)
{
    ByteReader r(body);
    r.skip(10); // block and frame size bounds: each frame says its own
    const uint64_t packed = r.big(8);
    FlacStreamInfo info;
    info.sampleRate = static_cast<uint32_t>(packed >> 44);
    info.channels = static_cast<int>(packed >> 41 & 0x7) + 1;
    info.bitsPerSample = static_cast<int>(packed >> 36 & 0x1F) + 1;
    info.totalFrames = packed & 0xFFFFFFFFFull;
    return info;
}

// Where the frames start, after the metadata blocks; 0 when the blocks are broken.
size_t readMetadata(std::span<const unsigned char> bytes, FlacStreamInfo& info, const char*& why)
{
    ByteReader r(bytes.subspan(4));
    for (bool first = true, last = false; !last; first = false) {
        const uint32_t header = static_cast<uint32_t>(r.big(1));
        const size_t length = static_cast<size_t>(r.big(3));
        const std::span<const unsigned char> body = r.take(length);
        last = (header & 0x80) != 0;
        const uint32_t type = header & 0x7F;
        if (r.overrun()) {
            why = kTruncated;
            return 0;
        }
        if (first != (type == kStreamInfo) || type == kForbiddenBlock || (first && length < kStreamInfoBytes)) {
            why = "a FLAC file without a proper stream header";
            return 0;
        }
        if (first)
            info = readStreamInfo(body);
    }
    return bytes.size() - r.remaining();
}

} // namespace

IrLoad decodeFlac(std::span<const unsigned char> bytes)
{
    FlacStreamInfo info;
    const char* why = nullptr;
    size_t offset = readMetadata(bytes, info, why);
    if (offset == 0)
        return refused(why);
    // Before any frame: the header's length, when the encoder knew it, bounds the allocation.
    const std::string shape = refuseShape(info.channels, info.sampleRate, info.totalFrames == 0 ? 1 : info.totalFrames);
    if (!shape.empty())
        return refused(shape);
    if (info.bitsPerSample < 4)
        return refused("a FLAC bit depth not supported (" + std::to_string(info.bitsPerSample) + " bits)");

    const auto maxFrames = static_cast<uint64_t>(kMaxIrSeconds * info.sampleRate);
    std::vector<float> mono;
    mono.reserve(static_cast<size_t>(info.totalFrames));
    FlacFrame frame;
    while (offset < bytes.size() && (info.totalFrames == 0 || mono.size() < info.totalFrames)) {
        // Without a length in the header, what follows the last frame (a tag, padding) ends it.
        if (info.totalFrames == 0 && !mono.empty() && !flacFrameStartsAt(bytes, offset))
            break;
        const FlacStatus status = decodeFlacFrame(bytes, offset, info, frame);
        if (status != FlacStatus::Ok)
            return refused(status == FlacStatus::Truncated ? kTruncated : kDamaged);
        if (info.totalFrames != 0 && mono.size() + frame.blockSize > info.totalFrames)
            return refused(kDamaged);
        if (mono.size() + frame.blockSize > maxFrames)
            return refused("more than 10 s");
        for (size_t i = 0; i < frame.blockSize; ++i) {
            const double left = std::ldexp(static_cast<double>(frame.channels[0][i]), 1 - info.bitsPerSample);
            const double right = info.channels == 2
                                     ? std::ldexp(static_cast<double>(frame.channels[1][i]), 1 - info.bitsPerSample)
                                     : 0.0;
            mono.push_back(monoSample(left, right, info.channels));
        }
    }
    if (mono.size() < info.totalFrames)
        return refused(kTruncated);

    ImpulseResponseFile ir;
    ir.sampleRate = info.sampleRate;
    ir.sourceChannels = info.channels;
    ir.samples = std::move(mono);
    return IrLoad{std::move(ir), {}};
}

} // namespace quarvine
