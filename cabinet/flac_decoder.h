// SPDX-License-Identifier: GPL-3.0-or-later
// A native FLAC stream (RFC 9639): STREAMINFO, the other metadata blocks skipped, then the frames,
// each checked by its CRC-8 and CRC-16.
#pragma once

#include "ir_file.h"

#include <span>

namespace quarvine {

// bytes start with "fLaC". The result has no name.
IrLoad decodeFlac(std::span<const unsigned char> bytes);

} // namespace quarvine
