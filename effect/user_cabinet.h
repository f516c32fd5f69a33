// SPDX-License-Identifier: GPL-3.0-or-later
// The player's own cabinet response as it was loaded: what the library plays and the state saves.
#pragma once

#include <string>
#include <vector>

namespace quarvine {

// At its own rate, as the file held it: the bank resamples it to the host's.
struct UserCabinet {
    std::string name;
    double sampleRate = 0.0;
    std::vector<float> samples; // mono

    bool operator==(const UserCabinet&) const = default;
};

} // namespace quarvine
