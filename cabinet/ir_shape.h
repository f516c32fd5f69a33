// SPDX-License-Identifier: GPL-3.0-or-later
// What an impulse response may be, checked on a file's header before any sample buffer is
// allocated, so that a hostile header cannot make the reader ask for gigabytes; and the refusals
// the decoders share.
#pragma once

#include "ir_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvine {

inline constexpr double kMaxIrSeconds = 10.0;
inline constexpr double kMinIrRate = 8000.0;   // Hz
inline constexpr double kMaxIrRate = 384000.0; // Hz
inline constexpr int kMaxIrChannels = 2;
// Ten seconds of stereo 64-bit float at 384 kHz is about 59 MiB: twice that leaves room for the
// chunks around it.
inline constexpr size_t kMaxIrFileBytes = size_t{128} << 20;

inline constexpr const char* kTruncated = "the file is cut short";
inline constexpr const char* kNoSound = "the file holds no sound (empty or all zero)";

// Empty when a file of this shape may be decoded, otherwise why not.
std::string refuseShape(int channels, double sampleRate, uint64_t frames);

// A load that failed for the given reason.
IrLoad refused(std::string why);

} // namespace quarvine
