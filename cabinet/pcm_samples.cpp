// SPDX-License-Identifier: GPL-3.0-or-later
#include "pcm_samples.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace quarvine {

bool isReadableLayout(const PcmLayout& layout)
{
    if (layout.channels < 1 || layout.channels > 2)
        return false;
    if (layout.coding == SampleCoding::Float)
        return layout.bytesPerSample == 4 || layout.bytesPerSample == 8;
    return layout.bytesPerSample >= 1 && layout.bytesPerSample <= 4;
}

namespace {

double sampleAt(const unsigned char* p, const PcmLayout& layout)
{
    const int n = layout.bytesPerSample;
    uint64_t raw = 0;
    for (int i = 0; i < n; ++i)
        raw = raw << 8 | p[layout.bigEndian ? i : n - 1 - i];
    const int bits = 8 * n;
    switch (layout.coding) {
    case SampleCoding::Float:
        return n == 4 ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)))
                      : std::bit_cast<double>(raw);
    case SampleCoding::UnsignedInteger:
        return std::ldexp(static_cast<double>(raw) - std::ldexp(1.0, bits - 1), 1 - bits);
    case SampleCoding::SignedInteger:
        break;
    }
    // Sign-extended from the top of the 64 bits.
    const int64_t value = static_cast<int64_t>(raw << (64 - bits)) >> (64 - bits);
    return std::ldexp(static_cast<double>(value), 1 - bits);
}

} // namespace

std::vector<float> mixToMono(std::span<const unsigned char> data, size_t frames, const PcmLayout& layout)
{
    const size_t step = layout.frameBytes();
    if (frames > data.size() / step)
        frames = data.size() / step; // never past the data, whatever the caller was told
    std::vector<float> mono(frames);
    const unsigned char* p = data.data();
    for (size_t i = 0; i < frames; ++i, p += step) {
        const double first = sampleAt(p, layout);
        const double second = layout.channels == 2 ? sampleAt(p + layout.bytesPerSample, layout) : 0.0;
        mono[i] = monoSample(first, second, layout.channels);
    }
    return mono;
}

} // namespace quarvine
