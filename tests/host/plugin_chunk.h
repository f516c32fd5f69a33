// SPDX-License-Identifier: GPL-3.0-or-later
// The state a host saves for a loaded plug-in: the bytes its chunk call hands over; and the user
// cabinet in it as a failed expectation prints it.
#pragma once

#include "effect/user_cabinet.h"
#include "tools/vsthost/vst_host.h"

#include <ostream>
#include <vector>

inline std::vector<unsigned char> chunkOf(vsthost::HostedPlugin& plugin)
{
    void* data = nullptr;
    const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return size > 0 && bytes ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>();
}

namespace quarvine {

inline void PrintTo(const UserCabinet& cabinet, std::ostream* out)
{
    *out << '"' << cabinet.name << "\" at " << cabinet.sampleRate << " Hz:";
    for (const float sample : cabinet.samples)
        *out << ' ' << sample;
}

} // namespace quarvine
