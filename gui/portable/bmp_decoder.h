// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes uncompressed 24-bit and palettised 8-bit BMP files into 32-bit pixels.
#pragma once

#include "gui/portable/pixel_surface.h"

#include <cstddef>
#include <memory>

namespace gui::portable {

// Null when the data is not a BMP of a supported kind.
std::unique_ptr<PixelSurface> decodeBmp(const unsigned char* data, size_t size);

} // namespace gui::portable
