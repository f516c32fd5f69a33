// SPDX-License-Identifier: GPL-3.0-or-later
// The one-screen report after a render.
#pragma once

#include "render_loop.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace render {

struct SummaryInput {
    std::string pluginPath;
    std::string inputName;  // file name, or a description of the demo
    std::string outputName;
    int sampleRate = 0;
    int channels = 0;
    int blockSize = 0;
    std::vector<std::string> warnings;  // one line each, after the levels
};

// A warning for a rate no recording is made at, or empty.
std::optional<std::string> implausibleRate(int sampleRate);

void printSummary(std::ostream& out, const SummaryInput& what, const RenderResult& result);

} // namespace render
