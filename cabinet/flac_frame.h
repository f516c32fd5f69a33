// SPDX-License-Identifier: GPL-3.0-or-later
// One FLAC audio frame (RFC 9639, section 9): its header, one subframe per channel, the stereo
// decorrelation undone, both checksums verified.
#pragma once

#include "flac_subframe.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quarvine {

// What the STREAMINFO block says of the whole stream.
struct FlacStreamInfo {
    uint32_t sampleRate = 0;
    int channels = 0;      // 1 or 2 by the time frames are read
    int bitsPerSample = 0; // 4 to 32
    uint64_t totalFrames = 0; // 0 when the encoder did not know
};

struct FlacFrame {
    std::array<std::vector<int64_t>, 2> channels; // left and right (or the one channel)
    size_t blockSize = 0;                          // the samples of each channel this frame holds
};

// True when a frame's sync code starts at offset.
bool flacFrameStartsAt(std::span<const unsigned char> stream, size_t offset);

// Decodes the frame at offset into frame and moves offset past it. The frame must agree with the
// stream's channel count and bit depth.
FlacStatus decodeFlacFrame(std::span<const unsigned char> stream, size_t& offset, const FlacStreamInfo& info,
                           FlacFrame& frame);

} // namespace quarvine
