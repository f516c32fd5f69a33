// SPDX-License-Identifier: GPL-3.0-or-later
#include "chunk_scan.h"

#include "byte_reader.h"

#include <algorithm>

namespace quarvine {

FoundChunks findChunks(std::span<const unsigned char> chunks, bool bigEndian, uint32_t formatId, uint32_t soundId)
{
    FoundChunks found;
    ByteReader r(chunks);
    while (r.remaining() >= 8 && !(found.haveFormat && found.haveSound)) {
        const uint32_t id = r.tag();
        const uint32_t size = bigEndian ? r.u32be() : r.u32le();
        found.cutShort = size > r.remaining();
        const std::span<const unsigned char> body = r.take(std::min<size_t>(size, r.remaining()));
        if (size % 2 != 0 && r.remaining() > 0)
            r.skip(1); // both formats pad chunks to even sizes
        if (id == formatId && !found.haveFormat) {
            found.format = body;
            found.haveFormat = true;
        } else if (id == soundId && !found.haveSound) {
            found.sound = body;
            found.haveSound = true;
        }
    }
    return found;
}

} // namespace quarvine
