// SPDX-License-Identifier: GPL-3.0-or-later
// Runs audio through a plug-in, chunk by chunk from a source to a writer: one instance per
// channel, at the source's own sample rate.
#pragma once

#include "frame_source.h"
#include "level_meter.h"
#include "sound_writer.h"

#include "effect/user_cabinet.h"
#include "tools/vsthost/vst_host.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace render {

struct ParameterReport {
    int index = 0;
    float value = 0.0f;
    std::string name, display, label;
};

struct RenderResult {
    std::uint64_t frames = 0;        // rendered, as read from the source
    double processingSeconds = 0.0;  // inside processReplacing calls only
    std::string effectName, vendor;
    std::vector<ParameterReport> parameters;  // as the first instance reports them
    std::optional<int> oversampling;          // the factor the first instance runs at, when set
    LevelMeter input, output;
};

struct RenderSettings {
    int blockSize = 512;
    // 2, 4 or 8: Quarvine's seventh parameter, set before `parameters`; none leaves it alone.
    std::optional<int> oversampling;
    std::vector<std::pair<int, float>> parameters;  // index, value; applied in order
    // The named controls, a preset or a cabinet were given: they mean Quarvine's parameters,
    // never another module's.
    bool needsQuarvine = false;
    // --ir: handed to every instance in its state chunk, before the parameters are set.
    std::optional<quarvine::UserCabinet> userCabinet;
    // Called with the fraction done, from 0 to 1.
    std::function<void(double)> progress;
};

// UsageError when the settings do not fit the module (a parameter it lacks); found with a probe
// instance, before any audio is read.
void checkSettings(const vsthost::PluginModule& module, const RenderSettings& settings);

// RenderError when the module is Quarvine and refuses `rate`: it would go on at 44.1 kHz, voicing
// the file for another rate. Another module's range is unknown to the host, and left to it.
void checkSampleRate(const vsthost::PluginModule& module, const std::string& inputName, int rate);

// Throws RenderError, or Interrupted between chunks once SIGINT or SIGTERM has come.
RenderResult renderStream(const vsthost::PluginModule& module, FrameSource& source, SoundWriter& sink,
                          const RenderSettings& settings);

} // namespace render
