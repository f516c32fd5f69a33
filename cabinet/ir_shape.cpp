// SPDX-License-Identifier: GPL-3.0-or-later
#include "ir_shape.h"

#include <cmath>
#include <cstdio>

namespace quarvine {

std::string refuseShape(int channels, double sampleRate, uint64_t frames)
{
    if (channels < 1)
        return "a header without channels";
    if (channels > kMaxIrChannels)
        return "more than two channels";
    if (!std::isfinite(sampleRate))
        return "a sample rate that is not a number";
    if (sampleRate < kMinIrRate || sampleRate > kMaxIrRate) {
        char text[96];
        std::snprintf(text, sizeof text, "sample rate %.10g Hz not between 8 kHz and 384 kHz", sampleRate);
        return text;
    }
    if (frames == 0)
        return kNoSound;
    if (static_cast<double>(frames) > kMaxIrSeconds * sampleRate)
        return "more than 10 s";
    return {};
}

IrLoad refused(std::string why)
{
    return IrLoad{std::nullopt, std::move(why)};
}

} // namespace quarvine
