// SPDX-License-Identifier: GPL-3.0-or-later
// The state a host saves for a loaded plug-in: the bytes its chunk call hands over.
#pragma once

#include "tools/vsthost/vst_host.h"

#include <vector>

inline std::vector<unsigned char> chunkOf(vsthost::HostedPlugin& plugin)
{
    void* data = nullptr;
    const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return size > 0 && bytes ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>();
}
