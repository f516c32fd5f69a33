// SPDX-License-Identifier: GPL-3.0-or-later
// AIFF and AIFF-C: big-endian integer PCM of 8 to 32 bits, and the AIFF-C encodings 'NONE' and
// 'twos' (the same), 'sowt' (little-endian integers), 'fl32' and 'fl64' (IEEE floats).
#pragma once

#include "ir_file.h"

#include <span>

namespace quarvine {

// bytes start with "FORM", a size and "AIFF" or "AIFC". The result has no name.
IrLoad decodeAiff(std::span<const unsigned char> bytes);

// The 80-bit IEEE 754 extended number in which AIFF stores its sample rate; NaN for an infinity or
// a NaN.
double extendedToDouble(std::span<const unsigned char, 10> bytes);

} // namespace quarvine
