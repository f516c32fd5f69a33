// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cabinet_handover/cabinet_handover.h"

#include "effect/plugin_state.h"

#include <vector>

namespace tools {

std::string handOverUserCabinet(vsthost::HostedPlugin& instance, const quarvine::UserCabinet& cabinet)
{
    void* data = nullptr;
    const VstIntPtr size = instance.dispatch(effGetChunk, 0, 0, &data);
    quarvine::PluginState state;
    if (size > 0 && data) {
        quarvine::StateDecode current =
            quarvine::decodePluginState({static_cast<const unsigned char*>(data), static_cast<std::size_t>(size)});
        if (!current.state)
            return "the plug-in's own state was refused: " + current.error;
        state = std::move(*current.state);
    }
    state.userCabinet = cabinet;
    std::vector<unsigned char> chunk = quarvine::encodePluginState(state);
    if (instance.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()) != 1)
        return "the plug-in refused the impulse response";
    return {};
}

} // namespace tools
