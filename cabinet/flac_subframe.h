// SPDX-License-Identifier: GPL-3.0-or-later
// One channel of a FLAC frame (RFC 9639, section 9.2): a constant, verbatim samples, or a fixed or
// linear predictor followed by its Rice-coded residual.
#pragma once

#include "bit_reader.h"

#include <cstdint>
#include <span>

namespace quarvine {

enum class FlacStatus { Ok, Truncated, Corrupt };

// Decodes a subframe of out.size() samples whose bit depth is bitsPerSample (one more for a side
// channel, so up to 33). A sample that does not fit that depth makes the stream corrupt, which
// also keeps every prediction well inside 64 bits.
FlacStatus decodeSubframe(BitReader& reader, int bitsPerSample, std::span<int64_t> out);

} // namespace quarvine
