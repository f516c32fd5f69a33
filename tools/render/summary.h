// The one-screen report after a render.
#pragma once

#include "audio_file.h"
#include "render_loop.h"

#include <iosfwd>
#include <string>

namespace render {

struct Level {
    double peakDb = 0.0;  // -inf for silence
    double rmsDb = 0.0;   // over every sample of every channel
};

Level measureLevel(const AudioData& audio);

struct SummaryInput {
    std::string pluginPath;
    std::string inputName;  // file name, or a description of the demo
    std::string outputName;
    int blockSize = 0;
};

void printSummary(std::ostream& out, const SummaryInput& what, const AudioData& input, const RenderResult& result);

} // namespace render
