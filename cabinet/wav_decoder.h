// SPDX-License-Identifier: GPL-3.0-or-later
// RIFF/WAVE: integer PCM of 8 (unsigned) to 32 bits, IEEE float of 32 or 64 bits, plain or as
// WAVE_FORMAT_EXTENSIBLE; chunks in any order, unknown ones skipped.
#pragma once

#include "ir_file.h"

#include <span>

namespace quarvine {

// bytes start with "RIFF", a size and "WAVE". The result has no name.
IrLoad decodeWav(std::span<const unsigned char> bytes);

} // namespace quarvine
