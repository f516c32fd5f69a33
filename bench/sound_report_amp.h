// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in under measurement: a loaded VST 2.4 module that plays whole signals through fresh
// instances at 44.1 kHz in blocks of 512, with a hook at every block boundary for automation.
#pragma once

#include "tools/vsthost/vst_host.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace soundreport {

inline constexpr double kRate = 44100.0;
inline constexpr int kBlock = 512;

// Quarvine's parameter indices.
enum Knob { kMaster = 0, kDrive = 1, kTreble = 2, kMiddle = 3, kBass = 4, kVolume = 5, kOversampling = 6 };

using Settings = std::vector<std::pair<int, float>>;  // index, value; applied in order

// Called before block `block` (0-based) is processed; may set parameters.
using BlockHook = std::function<void(std::size_t block, vsthost::HostedPlugin& plugin)>;

class AmpUnderTest {
public:
    // Null with a reason when the module does not load or gives no usable effect.
    static std::unique_ptr<AmpUnderTest> load(const std::string& path, std::string* error);

    const std::string& path() const { return module->path(); }
    const std::string& name() const { return effectName; }
    int parameterCount() const { return parameters; }
    bool hasOversampling() const { return parameters > kOversampling; }

    // A fresh instance: settings applied, started, then the input played through it.
    std::vector<float> play(const std::vector<float>& input, const Settings& settings, const BlockHook& hook = {}) const;

private:
    explicit AmpUnderTest(std::unique_ptr<vsthost::PluginModule> m) : module(std::move(m)) {}
    std::unique_ptr<vsthost::PluginModule> module;
    std::string effectName;
    int parameters = 0;
};

// The parameter value that selects an oversampling factor of 2, 4 or 8.
float oversamplingValue(int factor);

} // namespace soundreport
