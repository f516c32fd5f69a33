// SPDX-License-Identifier: GPL-3.0-or-later
// The renderer's command line.
#pragma once

#include "effect/factory_presets.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace render {

// Quarvine's parameters in index order, as the named options spell them.
inline constexpr const char* kQuarvineParameters[] = {"master", "drive", "treble", "middle", "bass", "volume"};
inline constexpr int kQuarvineParameterCount = 6;
// Quarvine's seventh parameter picks the oversampling factor: 0 is 2x, 0.5 is 4x, 1 is 8x.
inline constexpr int kOversamplingParameter = 6;

struct Options {
    std::string input;        // empty: render the demo phrase
    std::string output;       // never empty after parsing
    std::string dryPath;      // demo only: where the unprocessed phrase goes
    std::string pluginPath;   // never empty after parsing
    bool pluginGiven = false;
    bool overwrite = false;   // OUT may be IN itself
    int blockSize = 512;
    int oversampling = 2;     // 2, 4 or 8
    bool oversamplingGiven = false;
    std::optional<float> named[kQuarvineParameterCount];
    std::vector<std::pair<int, float>> parameters;  // from --param, in command-line order
    std::optional<int> cabinet;                      // --cabinet, a position
    std::string irPath;                              // --ir: the player's response to load
    const quarvine::FactoryPreset* preset = nullptr; // --preset
};

// Parses the arguments. Returns the exit status to end with when there is nothing to render
// (help shown, or an error already reported on one line of stderr).
std::optional<int> parseOptions(int argc, char** argv, Options& options);

// libquarvine next to the running executable's build tree, else the path known at build time.
std::string defaultPluginPath();

} // namespace render
