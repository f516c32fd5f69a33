// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame_source.h"

#include <algorithm>

namespace render {

std::size_t MemorySource::read(float* interleaved, std::size_t frames)
{
    const std::size_t count = std::min(frames, samples.size() - position);
    std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(position), count, interleaved);
    position += count;
    return count;
}

} // namespace render
