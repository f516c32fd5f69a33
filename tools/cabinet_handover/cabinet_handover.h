// SPDX-License-Identifier: GPL-3.0-or-later
// Puts an impulse response into a hosted Quarvine as its user cabinet, the way a VST host restores
// a project: through the state chunk, the only way in besides the editor's file drop.
#pragma once

#include "effect/user_cabinet.h"
#include "tools/vsthost/vst_host.h"

#include <string>

namespace tools {

// The instance's own state with the response put in: whatever else it holds stays as it was.
// Empty when the instance took it, else why not.
std::string handOverUserCabinet(vsthost::HostedPlugin& instance, const quarvine::UserCabinet& cabinet);

} // namespace tools
