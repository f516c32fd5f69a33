// Runs audio through a plug-in: one instance per channel, at the audio's own sample rate.
#pragma once

#include "audio_file.h"

#include "tools/vsthost/vst_host.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace render {

struct RenderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ParameterReport {
    int index = 0;
    float value = 0.0f;
    std::string name, display, label;
};

struct RenderResult {
    AudioData output;
    double processingSeconds = 0.0;  // inside processReplacing calls only
    std::string effectName, vendor;
    std::vector<ParameterReport> parameters;  // as the first instance reports them
    std::optional<int> oversampling;          // the factor the first instance runs at, when set
};

struct RenderSettings {
    int blockSize = 512;
    // 2, 4 or 8: Quarvine's seventh parameter, set before `parameters`; none leaves it alone.
    std::optional<int> oversampling;
    std::vector<std::pair<int, float>> parameters;  // index, value; applied in order
    // Called with the fraction done, from 0 to 1.
    std::function<void(double)> progress;
};

RenderResult renderAudio(const vsthost::PluginModule& module, const AudioData& input, const RenderSettings& settings);

} // namespace render
