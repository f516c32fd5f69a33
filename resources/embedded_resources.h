// SPDX-License-Identifier: GPL-3.0-or-later
// The module's bitmap resources, compiled into the binary from the BMP files of this directory.
#pragma once

#include <cstdint>
#include <span>

namespace quarvine::resources {

// The BMP file of a bitmap resource; empty when there is no such resource.
std::span<const unsigned char> findBitmap(int32_t id);

} // namespace quarvine::resources
