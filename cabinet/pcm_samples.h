// SPDX-License-Identifier: GPL-3.0-or-later
// Interleaved uncompressed samples, as WAV and AIFF store them, mixed down to one channel.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace quarvine {

enum class SampleCoding { UnsignedInteger, SignedInteger, Float };

struct PcmLayout {
    SampleCoding coding = SampleCoding::SignedInteger;
    int bytesPerSample = 2; // 1 to 4 for integers, 4 or 8 for floats
    bool bigEndian = false;
    int channels = 1;       // 1 or 2

    size_t frameBytes() const { return static_cast<size_t>(bytesPerSample) * static_cast<size_t>(channels); }
};

// True for the layouts mixToMono reads.
bool isReadableLayout(const PcmLayout& layout);

// The frames' samples scaled to full scale 1 (an integer by 2^(bits - 1)), a pair as its mean.
// data holds at least frames * layout.frameBytes() bytes.
std::vector<float> mixToMono(std::span<const unsigned char> data, size_t frames, const PcmLayout& layout);

// One mono sample from one or two channels' values at full scale 1.
inline float monoSample(double first, double second, int channels)
{
    return static_cast<float>(channels == 2 ? 0.5 * (first + second) : first);
}

} // namespace quarvine
